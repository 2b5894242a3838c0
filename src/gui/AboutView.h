#pragma once

#include <QImage>
#include <QWidget>

/// The about window's content: icon, name, version, tagline, notice and the product's page.
class AboutView : public QWidget {
    Q_OBJECT
public:
    static constexpr int fixedWidth = 300;
    static constexpr int margin = 28;

    AboutView(const QImage& applicationIcon, const QString& versionLine, QWidget* parent = nullptr);
};
