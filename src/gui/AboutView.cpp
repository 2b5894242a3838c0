#include "gui/AboutView.h"

#include "gui/FontRoles.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QLabel* centredLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter);
    // Long texts wrap within the content width rather than widen the window.
    label->setWordWrap(true);
    label->setMinimumWidth(AboutView::fixedWidth - 2 * AboutView::margin);
    return label;
}

} // namespace

AboutView::AboutView(const QImage& applicationIcon, const QString& versionLine, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(8);
    layout->setAlignment(Qt::AlignHCenter);

    auto* icon = new QLabel(this);
    QPixmap pixmap(96, 96);
    pixmap.fill(Qt::transparent);
    if (!applicationIcon.isNull())
        pixmap = QPixmap::fromImage(applicationIcon.scaled(96, 96, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    icon->setPixmap(pixmap);
    icon->setAlignment(Qt::AlignHCenter);
    layout->addWidget(icon);

    layout->addWidget(centredLabel(u"Tavrink"_s, FontRoles::title2(), this));
    QLabel* version = centredLabel(versionLine, FontRoles::callout(), this);
    version->setObjectName(u"version"_s);
    FontRoles::makeSecondary(*version);
    layout->addWidget(version);
    layout->addSpacing(4);
    layout->addWidget(centredLabel(u"Your hostname, always in sight."_s, FontRoles::callout(), this));
    layout->addSpacing(8);
    layout->addWidget(centredLabel(u"© 2026 Kelvandrosi"_s, FontRoles::callout(), this));
    QLabel* link = centredLabel(u"<a href=\"https://kelvandrosi.com/tavrink\">kelvandrosi.com/tavrink</a>"_s,
                                FontRoles::callout(), this);
    link->setObjectName(u"link"_s);
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true); // the desktop's URL handler
    layout->addWidget(link);

    // The width is fixed whatever the texts; the height follows them.
    setFixedWidth(fixedWidth);
    setFixedHeight(layout->totalHeightForWidth(fixedWidth));
}
