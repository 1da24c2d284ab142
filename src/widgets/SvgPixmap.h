#pragma once
// Pictures of the tabs are drawn from SVG resources at the size of their label.
#include <QPixmap>
#include <QSize>
#include <QString>

namespace ktx {

QPixmap svgPixmap(const QString& path, QSize size);

}  // namespace ktx
