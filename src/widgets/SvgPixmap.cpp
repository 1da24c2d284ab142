#include "widgets/SvgPixmap.h"

#include <QPainter>
#include <QSvgRenderer>

namespace ktx {

QPixmap svgPixmap(const QString& path, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(path);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

}  // namespace ktx
