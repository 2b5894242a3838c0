#include "update/UpdateHelper.h"

#include "updatehelper/UpdateHelperAnswer.h"

using namespace Qt::StringLiterals;

namespace {

// One answer line is a few hundred bytes; a helper that says more is not the helper.
constexpr qsizetype maximumOutput = 64 * 1024;

const QString notChecked = u"The update could not be checked: "_s;

} // namespace

UpdateHelper::UpdateHelper(Request request, QObject* parent)
    : QObject(parent)
    , m_request(std::move(request))
{
    m_process.setProgram(m_request.program);
    m_process.setArguments({u"--archive"_s, m_request.archive, u"--work"_s, m_request.workFolder, u"--staging"_s,
                            m_request.staging, u"--pinned-key"_s, QString::fromLatin1(m_request.pinnedKey),
                            u"--version"_s, m_request.version});
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, [this] {
        m_isTimedOut = true;
        m_process.kill();
    });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] {
        m_output += m_process.readAllStandardOutput();
        if (m_output.size() > maximumOutput && !m_isTooTalkative) {
            m_isTooTalkative = true;
            m_process.kill();
        }
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish({notChecked
                        + u"its helper %1 could not be started (%2)."_s.arg(m_request.program, m_process.errorString()),
                    m_process.errorString(),
                    {}});
    });
    connect(&m_process, &QProcess::finished, this, &UpdateHelper::onFinished);
}

UpdateHelper::~UpdateHelper()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void UpdateHelper::start()
{
    m_timeLimit.start(m_request.timeLimit);
    m_process.start();
}

void UpdateHelper::onFinished(int exitCode, QProcess::ExitStatus status)
{
    m_output += m_process.readAllStandardOutput();
    if (m_isTimedOut) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(m_request.timeLimit).count();
        finish({notChecked + u"its helper did not finish within %1 seconds."_s.arg(seconds),
                u"killed after %1 ms"_s.arg(m_request.timeLimit.count()),
                {}});
        return;
    }
    if (status == QProcess::CrashExit && !m_isTooTalkative) {
        finish({notChecked + u"its helper stopped unexpectedly."_s, u"the helper ended by a signal"_s, {}});
        return;
    }
    const std::optional<UpdateHelperAnswer> answer
        = m_isTooTalkative ? std::nullopt : UpdateHelperAnswer::decode(m_output.trimmed());
    // The answer must agree with the exit status, and a staged bundle must be where it was asked to go.
    const bool isStaged = answer && answer->message.isEmpty();
    if (!answer || exitCode != (isStaged ? 0 : 1) || (isStaged && answer->staged != m_request.staging)) {
        finish({notChecked + u"its helper gave an answer that could not be read."_s,
                u"exit status %1, answer \"%2\""_s.arg(exitCode).arg(QString::fromUtf8(m_output.left(200)).trimmed()),
                {}});
        return;
    }
    finish({isStaged ? std::nullopt : std::optional(answer->message), answer->detail, answer->unconfined});
}

void UpdateHelper::finish(Result result)
{
    if (m_isFinished)
        return;
    m_isFinished = true;
    m_timeLimit.stop();
    Q_EMIT finished(result);
}
