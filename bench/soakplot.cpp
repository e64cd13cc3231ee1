#include "bench.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

// Resident memory after each sale of the soak, drawn as one line over the sales.
bool drawSoakPlot(const QVector<double> &rssMb, const QString &path)
{
    if (rssMb.isEmpty())
        return false;
    const QSize size(900, 420);
    const QRect plot(80, 50, size.width() - 110, size.height() - 110);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);

    // The memory axis in whole megabytes around the samples, at least 10 MB tall so that the
    // goal's 5 MB reads at a glance.
    const auto [lowest, highest] = std::minmax_element(rssMb.begin(), rssMb.end());
    double bottom = std::floor(*lowest) - 1;
    double top = std::ceil(*highest) + 1;
    if (top - bottom < 10) {
        const double middle = (top + bottom) / 2;
        bottom = std::floor(middle - 5);
        top = bottom + 10;
    }
    const int sales = rssMb.size();
    const auto x = [&](double sale) { return plot.left() + plot.width() * sale / sales; };
    const auto y = [&](double mb) { return plot.bottom() - plot.height() * (mb - bottom) / (top - bottom); };

    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    const double step = std::max(1.0, std::ceil((top - bottom) / 10));
    for (double mb = bottom; mb <= top + 1e-9; mb += step) {
        painter.setPen(QColor(0xdd, 0xdd, 0xdd));
        painter.drawLine(QPointF(plot.left(), y(mb)), QPointF(plot.right(), y(mb)));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, y(mb) - 10, plot.left() - 8, 20), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(mb, 'f', 0));
    }
    const int tick = sales >= 5000 ? 1000 : std::max(1, sales / 5);
    for (int sale = 0; sale <= sales; sale += tick) {
        painter.setPen(QColor(0xdd, 0xdd, 0xdd));
        painter.drawLine(QPointF(x(sale), plot.top()), QPointF(x(sale), plot.bottom()));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(x(sale) - 40, plot.bottom() + 6, 80, 20), Qt::AlignCenter,
                         QString::number(sale));
    }
    painter.setPen(Qt::black);
    painter.drawRect(plot);

    QPainterPath line;
    line.moveTo(x(1), y(rssMb[0]));
    for (int i = 1; i < sales; ++i)
        line.lineTo(x(i + 1), y(rssMb[i]));
    painter.setPen(QPen(QColor(0x1a, 0x73, 0xb8), 1.5));
    painter.drawPath(line);

    painter.setPen(Qt::black);
    font.setPixelSize(15);
    painter.setFont(font);
    painter.drawText(
        QRectF(0, 12, size.width(), 24), Qt::AlignCenter,
        QStringLiteral("Resident memory of the client over %1 sales through the pay window").arg(sales));
    font.setPixelSize(13);
    painter.setFont(font);
    painter.drawText(QRectF(plot.left(), size.height() - 30, plot.width(), 20), Qt::AlignCenter,
                     QStringLiteral("sales"));
    painter.save();
    painter.translate(18, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-100, -10, 200, 20), Qt::AlignCenter, QStringLiteral("VmRSS (MB)"));
    painter.restore();
    painter.end();
    return image.save(path, "PNG");
}
