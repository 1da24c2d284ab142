#pragma once
// The classic Windows colours the panels of every tab signal with, and helpers to
// paint a panel's background and text.
#include <QColor>
#include <QWidget>

namespace ktx::colors {

inline const QColor kBtnFace{240, 240, 240};
inline const QColor kBtnShadow{160, 160, 160};
inline const QColor kRed{255, 0, 0};
inline const QColor kYellow{255, 255, 0};
inline const QColor kBlue{0, 0, 255};
inline const QColor kBlack{0, 0, 0};
inline const QColor kAqua{0, 255, 255};
inline const QColor kWhite{255, 255, 255};
inline const QColor kGrey{128, 128, 128};
inline const QColor kOrange{255, 128, 64};

inline void setBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

inline QColor background(const QWidget* widget) { return widget->palette().color(QPalette::Window); }

inline void setTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

// The caption and the texts of the edits inside (a group's palette reaches
// its children).
inline void setCaptionAndTextColor(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

inline QColor textColor(const QWidget* widget) { return widget->palette().color(QPalette::WindowText); }

// first, or second when the background is first already.
inline void alternateBackground(QWidget* widget, const QColor& first, const QColor& second)
{
    setBackground(widget, background(widget) == first ? second : first);
}

// A poll's heartbeat panel, one step per poll that got through: yellow with
// black text, then blue with yellow text, so the caption stays readable.
inline void blinkHeartbeat(QWidget* panel)
{
    const bool wasYellow = background(panel) == kYellow;
    alternateBackground(panel, kYellow, kBlue);
    setTextColor(panel, wasYellow ? kYellow : kBlack);
}

}  // namespace ktx::colors
