#include "widgets/LivePlotPanel.h"

#include <QAction>
#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGraphicsItem>
#include <QPainter>
#include <QGuiApplication>
#include <QLegendMarker>
#include <QLocale>
#include <QLineSeries>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "base/SampleCsv.h"

namespace ktx {
namespace {

constexpr int kButtonWidth = 64;
constexpr int kButtonHeight = 20;
constexpr double kValueMargin = 0.05;  // of the visible range, above and below
constexpr size_t kLegendBelowAtMost = 4;
constexpr double kKeepRangeAbove = 0.25;  // of the axis' range the values must span to keep it

size_t ringCapacity(const PlotSetup& setup)
{
    const int interval = std::max(setup.pollIntervalMs, 1);
    return static_cast<size_t>(setup.spanMs / interval + 1) * LivePlotPanel::kRingHeadroom;
}

std::vector<std::string> seriesNames(const PlotSetup& setup)
{
    std::vector<std::string> names;
    for (const PlotSeries& series : setup.series)
        names.emplace_back(series.name);
    return names;
}

QString fileStem(const PlotSetup& setup, const SampleRing& ring)
{
    // "Inputs_2026-12-09T12-00-00" from the newest sample's time.
    std::string stamp = ring.empty() ? std::string() : isoUtcText(ring.timeAt(ring.size() - 1).wallUtcMs).substr(0, 19);
    std::replace(stamp.begin(), stamp.end(), ':', '-');
    return QString::fromLatin1(setup.name) + (stamp.empty() ? QString() : QStringLiteral("_") + QString::fromStdString(stamp));
}

}  // namespace

// Paints the curves inside the chart's plot area, in the axes' scales.
class LivePlotPanel::CurvesItem : public QGraphicsItem {
public:
    explicit CurvesItem(LivePlotPanel& panel) : panel_(panel) { setZValue(10); }

    QRectF boundingRect() const override { return panel_.chart_->plotArea(); }
    void areaChanged()
    {
        prepareGeometryChange();
        update();
    }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        const QRectF area = panel_.chart_->plotArea();
        painter->setClipRect(area);
        for (size_t series = 0; series < panel_.curves_.size(); ++series) {
            const Curve& curve = panel_.curves_[series];
            const QValueAxis* x = panel_.timeAxis_;
            const QValueAxis* y = panel_.axisOf(series);
            const double xScale = area.width() / (x->max() - x->min());
            const double yScale = area.height() / (y->max() - y->min());
            mapped_.resize(curve.points.size());
            for (qsizetype i = 0; i < curve.points.size(); ++i) {
                const QPointF& p = curve.points[i];
                mapped_[i] = QPointF(area.left() + (p.x() - x->min()) * xScale, area.bottom() - (p.y() - y->min()) * yScale);
            }
            painter->setPen(QPen(panel_.setup_.series[series].colour, 2, Qt::SolidLine, Qt::RoundCap));
            for (size_t run = 0; run < curve.runStarts.size(); ++run) {
                const int start = curve.runStarts[run];
                const int end = run + 1 < curve.runStarts.size() ? curve.runStarts[run + 1] : int(mapped_.size());
                if (end - start == 1)
                    painter->drawPoint(mapped_[start]);  // a lone value between two gaps
                else
                    painter->drawPolyline(mapped_.constData() + start, end - start);
            }
        }
    }

private:
    LivePlotPanel& panel_;
    QPolygonF mapped_;  // reused: grows once to the longest curve
};

LivePlotPanel::LivePlotPanel(const PlotSetup& setup, SampleClock clock, QWidget* host)
    : QWidget(host, Qt::Tool), setup_(setup), clock_(std::move(clock)), host_(host),
      ring_(setup.series.size(), ringCapacity(setup)), curves_(setup.series.size())
{
    setObjectName(QString::fromLatin1(setup.name) + QStringLiteral("Plot"));
    setWindowTitle(QString::fromUtf8(setup.title));
    resize(kSize);
    // Room for every sample the ring can hold: drawing never allocates.
    for (Curve& curve : curves_) {
        curve.points.reserve(static_cast<qsizetype>(ring_.capacity()));
        curve.runStarts.reserve(ring_.capacity());
    }
    // The chart itself waits until it is first drawn: building and laying it
    // out costs the console's start a tenth of its time, for a plot most
    // runs never show.
    buildMenu();

    redrawTimer_ = new QTimer(this);
    redrawTimer_->setSingleShot(true);
    redrawTimer_->setInterval(kRefreshMs);
    connect(redrawTimer_, &QTimer::timeout, this, &LivePlotPanel::redraw);

    toggleAction_ = new QAction(QStringLiteral("График"), host);
    toggleAction_->setObjectName(QString::fromLatin1(setup.name) + QStringLiteral("PlotAction"));
    toggleAction_->setCheckable(true);
    toggleAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    toggleAction_->setShortcutContext(Qt::WindowShortcut);
    toggleAction_->setToolTip(QStringLiteral("Показать или скрыть график (Ctrl+G)"));
    toggleAction_->setEnabled(false);  // until its tab shows: one Ctrl+G per window
    host->addAction(toggleAction_);
    connect(toggleAction_, &QAction::toggled, this, &LivePlotPanel::setWanted);
    toggle_ = new QToolButton(host);
    toggle_->setObjectName(QString::fromLatin1(setup.name) + QStringLiteral("PlotButton"));
    toggle_->setDefaultAction(toggleAction_);
    toggle_->setGeometry(QRect(setup.buttonAt, QSize(kButtonWidth, kButtonHeight)));

    showMessage_ = [this](const QString& text) {
        QMessageBox::warning(this, QGuiApplication::applicationDisplayName(), text);
    };
    choosePath_ = [this](const QString& caption, const QString& filter, const QString& name) {
        return QFileDialog::getSaveFileName(this, caption, name, filter);
    };
    host->installEventFilter(this);
}

LivePlotPanel::~LivePlotPanel() = default;

void LivePlotPanel::buildChart()
{
    chart_ = new QChart;
    chart_->setTitle(QString::fromUtf8(setup_.title));
    // Many series' names fit in a column beside the plot, a few below it.
    chart_->legend()->setAlignment(setup_.series.size() > kLegendBelowAtMost ? Qt::AlignRight : Qt::AlignBottom);
    // The axes in the desktop's decimal separator, without thousands groups.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    chart_->setLocale(locale);
    chart_->setLocalizeNumbers(true);
    chart_->setMargins(QMargins(4, 4, 4, 4));
    timeAxis_ = new QValueAxis(chart_);
    timeAxis_->setRange(-setup_.spanMs / 1000.0, 0);
    timeAxis_->applyNiceNumbers();
    timeAxis_->setTitleText(QStringLiteral("с"));
    timeAxis_->setLabelFormat(QStringLiteral("%.0f"));
    valueAxis_ = new QValueAxis(chart_);
    valueAxis_->setTitleText(QString::fromUtf8(setup_.unit));
    valueAxis_->setRange(0, 1);
    chart_->addAxis(timeAxis_, Qt::AlignBottom);
    chart_->addAxis(valueAxis_, Qt::AlignLeft);
    if (std::any_of(setup_.series.begin(), setup_.series.end(), [](const PlotSeries& s) { return s.rightAxis; })) {
        rightAxis_ = new QValueAxis(chart_);
        rightAxis_->setTitleText(QString::fromUtf8(setup_.rightUnit ? setup_.rightUnit : ""));
        rightAxis_->setRange(0, 1);
        chart_->addAxis(rightAxis_, Qt::AlignRight);
    }
    for (size_t series = 0; series < setup_.series.size(); ++series) {
        auto* legend = new QLineSeries;
        legend->setName(QString::fromUtf8(setup_.series[series].name));
        legend->setPen(QPen(setup_.series[series].colour, 2));
        chart_->addSeries(legend);
        legend->attachAxis(timeAxis_);
        legend->attachAxis(axisOf(series));
    }
    view_ = new QChartView(chart_, this);
    view_->setObjectName(QStringLiteral("PlotView"));
    // No antialiasing: a redraw costs a third of what it would, and lines
    // two pixels wide read well enough.
    view_->setRenderHint(QPainter::Antialiasing, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    curvesItem_ = new CurvesItem(*this);
    view_->scene()->addItem(curvesItem_);
    connect(chart_, &QChart::plotAreaChanged, this, [this] {
        static_cast<CurvesItem*>(curvesItem_)->areaChanged();
    });
    view_->setContextMenuPolicy(Qt::NoContextMenu);  // the panel's menu, wherever the click lands
}

QChart* LivePlotPanel::chart()
{
    ensureChart();
    return chart_;
}

void LivePlotPanel::ensureChart()
{
    if (!chart_)
        buildChart();
}

void LivePlotPanel::setVisible(bool visible)
{
    if (visible)
        ensureChart();
    QWidget::setVisible(visible);
}

QValueAxis* LivePlotPanel::axisOf(size_t series) const
{
    return setup_.series[series].rightAxis && rightAxis_ ? rightAxis_ : valueAxis_;
}

void LivePlotPanel::buildMenu()
{
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto addAction = [this](const QString& text, const char* name) {
        auto* action = new QAction(text, this);
        action->setObjectName(QString::fromLatin1(name));
        QWidget::addAction(action);
        return action;
    };
    connect(addAction(QStringLiteral("Сохранить как PNG…"), "SavePngAction"), &QAction::triggered, this,
        [this] { saveAs(true); });
    connect(addAction(QStringLiteral("Сохранить данные в CSV…"), "SaveCsvAction"), &QAction::triggered, this,
        [this] { saveAs(false); });
    connect(addAction(QStringLiteral("Очистить"), "ClearAction"), &QAction::triggered, this, &LivePlotPanel::clear);
    pauseAction_ = addAction(QStringLiteral("Пауза"), "PauseAction");
    pauseAction_->setCheckable(true);
    connect(pauseAction_, &QAction::toggled, this, &LivePlotPanel::setPaused);
}

void LivePlotPanel::append(std::span<const double> values)
{
    ring_.append(clock_(), values);
    scheduleRedraw();
}

void LivePlotPanel::appendGap()
{
    ring_.appendGap(clock_());
    scheduleRedraw();
}

void LivePlotPanel::scheduleRedraw()
{
    // A hidden or paused plot only keeps its samples.
    if (isVisible() && !paused_ && !redrawTimer_->isActive())
        redrawTimer_->start();
}

void LivePlotPanel::flush()
{
    redrawTimer_->stop();
    redraw();
}

void LivePlotPanel::redraw()
{
    ensureChart();
    ++redraws_;
    const size_t count = ring_.size();
    const int64_t newest = count ? ring_.timeAt(count - 1).monotonicMs : 0;
    size_t first = 0;
    while (first < count && newest - ring_.timeAt(first).monotonicMs > setup_.spanMs)
        ++first;
    struct Range {
        double low = INFINITY;
        double high = -INFINITY;
    };
    Range left, right;
    for (size_t series = 0; series < setup_.series.size(); ++series) {
        Range& range = axisOf(series) == rightAxis_ ? right : left;
        Curve& curve = curves_[series];
        curve.points.clear();
        curve.runStarts.clear();
        bool broken = true;
        for (size_t index = first; index < count; ++index) {
            const double value = ring_.valueAt(index, series);
            if (!std::isfinite(value)) {
                broken = true;
                continue;
            }
            if (broken)
                curve.runStarts.push_back(static_cast<int>(curve.points.size()));
            broken = false;
            curve.points.append(QPointF((ring_.timeAt(index).monotonicMs - newest) / 1000.0, value));
            range.low = std::min(range.low, value);
            range.high = std::max(range.high, value);
        }
    }
    fitAxis(valueAxis_, left.low, left.high);
    if (rightAxis_)
        fitAxis(rightAxis_, right.low, right.high);
    curvesItem_->update();
}

std::vector<int> LivePlotPanel::runLengths(size_t series) const
{
    const Curve& curve = curves_[series];
    std::vector<int> lengths;
    for (size_t run = 0; run < curve.runStarts.size(); ++run) {
        const int end = run + 1 < curve.runStarts.size() ? curve.runStarts[run + 1] : int(curve.points.size());
        lengths.push_back(end - curve.runStarts[run]);
    }
    return lengths;
}

void LivePlotPanel::fitAxis(QValueAxis* axis, double low, double high)
{
    if (low > high)
        return;  // nothing to show: the axis keeps its range
    // A new range lays out and repaints the whole chart: the axis keeps its
    // range while the values stay inside it and fill a fair part of it.
    const double shown = axis->max() - axis->min();
    if (low >= axis->min() && high <= axis->max() && high - low >= shown * kKeepRangeAbove)
        return;
    const double margin = std::max((high - low) * kValueMargin, std::max(std::fabs(high), 1.0) * 0.01);
    // Rounded to nice steps on an axis of its own, so the chart's axis
    // changes once, and only when the rounded range is another one.
    QValueAxis nice;
    nice.setRange(low - margin, high + margin);
    nice.applyNiceNumbers();
    if (nice.min() == axis->min() && nice.max() == axis->max() && nice.tickCount() == axis->tickCount())
        return;
    // The format first: labels made for the new range already use it.
    const double span = nice.max() - nice.min();
    axis->setLabelFormat(span >= 50 ? QStringLiteral("%.0f") : span >= 2 ? QStringLiteral("%.1f") : QStringLiteral("%.2f"));
    axis->setTickCount(nice.tickCount());
    axis->setRange(nice.min(), nice.max());
}

void LivePlotPanel::setWanted(bool wanted)
{
    wanted_ = wanted;
    if (toggleAction_->isChecked() != wanted)
        toggleAction_->setChecked(wanted);
    followHost();
}

void LivePlotPanel::followHost()
{
    const bool show = wanted_ && host_->isVisible();
    if (show == isVisible())
        return;
    if (show && !placed_) {
        placed_ = true;
        placeBesideMainWindow();
    }
    setVisible(show);
}

void LivePlotPanel::placeBesideMainWindow()
{
    // Beside the main window's right edge; on a narrow screen the main
    // window moves left so that both fit (785 + 540 on 1366 pixels).
    QWidget* main = host_->window();
    QScreen* screen = main->screen();
    if (!screen)
        return;
    const QRect mainFrame = main->frameGeometry();
    // The plot's frame is not known before it first shows: the main window's
    // decoration stands in for it.
    const QSize frameExtra = mainFrame.size() - main->size();
    const PlotPlacement place = placeBeside(mainFrame, size() + frameExtra, screen->availableGeometry());
    if (main->isVisible() && place.mainTopLeft != mainFrame.topLeft())
        main->move(place.mainTopLeft);
    move(place.plotTopLeft);
}

PlotPlacement placeBeside(const QRect& mainFrame, const QSize& plotFrame, const QRect& available)
{
    const int screenRight = available.left() + available.width();
    const int overflow = mainFrame.left() + mainFrame.width() + plotFrame.width() - screenRight;
    const int shift = std::clamp(overflow, 0, std::max(mainFrame.left() - available.left(), 0));
    PlotPlacement place;
    place.mainTopLeft = mainFrame.topLeft() - QPoint(shift, 0);
    const int x = std::min(place.mainTopLeft.x() + mainFrame.width(), screenRight - plotFrame.width());
    const int y = std::min(mainFrame.top(), available.top() + available.height() - plotFrame.height());
    place.plotTopLeft = QPoint(std::max(x, available.left()), std::max(y, available.top()));
    return place;
}

void LivePlotPanel::setPaused(bool paused)
{
    paused_ = paused;
    if (pauseAction_->isChecked() != paused)
        pauseAction_->setChecked(paused);
    if (!paused)
        scheduleRedraw();
}

void LivePlotPanel::clear()
{
    ring_.clear();
    if (isVisible())
        flush();
}

bool LivePlotPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == host_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        toggleAction_->setEnabled(event->type() == QEvent::Show);
        followHost();
    }
    return QWidget::eventFilter(watched, event);
}

void LivePlotPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // What came in while hidden is drawn once, at once.
    if (!paused_)
        flush();
}

void LivePlotPanel::closeEvent(QCloseEvent* event)
{
    // The window's close button is the same choice as the tab's button.
    event->ignore();
    setWanted(false);
}

WriteResult LivePlotPanel::savePng(const QString& path)
{
    ensureChart();
    if (!paused_)
        flush();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    view_->grab().save(&buffer, "PNG");
    return replaceFile(path.toStdString(), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

WriteResult LivePlotPanel::saveCsv(const QString& path) const
{
    return replaceFile(path.toStdString(), samplesCsv(ring_, seriesNames(setup_)));
}

void LivePlotPanel::saveAs(bool png)
{
    const QString caption = png ? QStringLiteral("Сохранить график") : QStringLiteral("Сохранить данные графика");
    const QString filter = png ? QStringLiteral("PNG (*.png)") : QStringLiteral("CSV (*.csv)");
    const QString name = fileStem(setup_, ring_) + (png ? QStringLiteral(".png") : QStringLiteral(".csv"));
    const QString path = choosePath_(caption, filter, name);
    if (path.isEmpty())
        return;
    const WriteResult result = png ? savePng(path) : saveCsv(path);
    if (!result)
        showMessage_(QStringLiteral("Не удалось сохранить файл %1: %2").arg(path, QString::fromStdString(result.error)));
}

std::map<std::string, bool> livePlotsWanted(const QWidget* root)
{
    std::map<std::string, bool> wanted;
    for (const LivePlotPanel* plot : root->findChildren<LivePlotPanel*>())
        wanted[plot->setup().name] = plot->wanted();
    return wanted;
}

void restoreLivePlots(const QWidget* root, const std::map<std::string, bool>& wanted)
{
    for (LivePlotPanel* plot : root->findChildren<LivePlotPanel*>()) {
        const auto found = wanted.find(plot->setup().name);
        plot->setWanted(found != wanted.end() && found->second);
    }
}

}  // namespace ktx
