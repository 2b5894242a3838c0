# Warnings, Qt's strictness defines and hardening for every target of the project.
function(tavrink_target_defaults target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor
        -Woverloaded-virtual -Wundef -Wformat=2)
    if(TAVRINK_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_definitions(${target} PRIVATE
        QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS QT_NO_FOREACH QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)
    # Hardening as Debian builds its packages: checked buffer functions where the optimiser
    # can see sizes (not in Debug, which has no optimiser), a stack protector, and relocations
    # resolved at start and then made read-only.
    target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    target_compile_options(${target} PRIVATE -fstack-protector-strong)
    target_link_options(${target} PRIVATE -Wl,-z,relro,-z,now)
endfunction()
