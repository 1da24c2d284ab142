#pragma once
// A live plot of what a tab polls, in its own small window beside the main
// one. The tab builds it from a table (plot name, span, series and colours)
// with one call and feeds it one sample per poll. Samples always go to a
// bounded ring; the chart is redrawn only while the window shows, its tab is
// the current one and the plot is not paused. A right click saves the plot
// as PNG or its data as CSV, clears it or pauses it.
#include <QColor>
#include <QPoint>
#include <QRect>
#include <QPolygonF>
#include <QString>
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "base/FileWriter.h"
#include "base/SampleRing.h"

class QAction;
class QChart;
class QGraphicsItem;
class QChartView;
class QLineSeries;
class QTimer;
class QToolButton;
class QValueAxis;

namespace ktx {

struct PlotSeries {
    const char* name;  // legend and CSV header (UTF-8)
    QColor colour;
    bool rightAxis = false;  // on the right-hand value axis (another unit)
};

struct PlotSetup {
    const char* name;      // object name and settings key, Latin letters
    const char* title;     // window title (UTF-8)
    const char* unit;      // the value axis' title (UTF-8)
    int spanMs;            // how far back the plot looks
    int pollIntervalMs;    // the feeding poll's period; sizes the ring
    std::vector<PlotSeries> series;
    QPoint buttonAt;       // the show/hide button's place on the tab
    const char* rightUnit = nullptr;  // the right-hand axis' title, if a series uses it
};

class LivePlotPanel : public QWidget {
    Q_OBJECT
public:
    // Four times the samples the span needs at the poll's period: hand
    // polls between timer ticks still leave the whole span in the ring.
    static constexpr int kRingHeadroom = 4;
    static constexpr int kRefreshMs = 200;  // at most five redraws a second
    static constexpr QSize kSize{540, 449};

    LivePlotPanel(const PlotSetup& setup, SampleClock clock, QWidget* host);
    ~LivePlotPanel() override;

    // One poll's values in series order; NaN (kNoValue) for a series the
    // poll did not get.
    void append(std::span<const double> values);
    void append(std::initializer_list<double> values) { append(std::span<const double>(values.begin(), values.size())); }
    // A poll that failed: every curve breaks here.
    void appendGap();

    // The user's choice: shown whenever its tab is the current one.
    void setWanted(bool wanted);
    bool wanted() const { return wanted_; }
    void setPaused(bool paused);
    bool paused() const { return paused_; }
    void clear();

    WriteResult savePng(const QString& path);
    WriteResult saveCsv(const QString& path) const;

    const SampleRing& ring() const { return ring_; }
    const PlotSetup& setup() const { return setup_; }
    // Built when first needed (shown, drawn or saved).
    QChart* chart();
    QToolButton* toggleButton() const { return toggle_; }
    QAction* toggleAction() const { return toggleAction_; }
    // Redraws since construction; a hidden plot never adds to it.
    int redraws() const { return redraws_; }
    // What the last redraw drew of a series: its points (seconds before the
    // newest sample, value) and where each unbroken run starts.
    struct Curve {
        QPolygonF points;
        std::vector<int> runStarts;
    };
    const Curve& curve(size_t series) const { return curves_[series]; }
    // Point counts of the runs of a series, oldest first.
    std::vector<int> runLengths(size_t series) const;
    // Draws now what a pending redraw would draw later.
    void flush();

    // Where a file dialog and an error message go; replaced by tests, whose
    // runs must not wait on a modal dialog.
    using PathChooser = std::function<QString(const QString& caption, const QString& filter, const QString& name)>;
    using MessageHandler = std::function<void(const QString& text)>;
    void setPathChooser(PathChooser chooser) { choosePath_ = std::move(chooser); }
    void setMessageHandler(MessageHandler handler) { showMessage_ = std::move(handler); }

    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildChart();
    void ensureChart();
    void buildMenu();
    void followHost();
    void placeBesideMainWindow();
    void scheduleRedraw();
    void redraw();
    QValueAxis* axisOf(size_t series) const;
    static void fitAxis(QValueAxis* axis, double low, double high);
    void saveAs(bool png);

    class CurvesItem;
    friend class CurvesItem;

    PlotSetup setup_;
    SampleClock clock_;
    QWidget* host_;
    SampleRing ring_;
    QChart* chart_ = nullptr;
    QChartView* view_ = nullptr;
    QValueAxis* timeAxis_ = nullptr;
    QValueAxis* valueAxis_ = nullptr;
    QValueAxis* rightAxis_ = nullptr;  // only when a series asks for it
    // Qt Charts joins a line across NaN, so the curves are painted by one
    // item over the plot area, each run between gaps on its own; the chart's
    // empty line series give the legend and the axes.
    std::vector<Curve> curves_;
    QGraphicsItem* curvesItem_ = nullptr;
    QTimer* redrawTimer_ = nullptr;
    QToolButton* toggle_ = nullptr;
    QAction* toggleAction_ = nullptr;
    QAction* pauseAction_ = nullptr;
    bool wanted_ = false;
    bool paused_ = false;
    bool placed_ = false;
    int redraws_ = 0;
    PathChooser choosePath_;
    MessageHandler showMessage_;
};

// Where a plot window goes: right of the main window, which moves left as
// far as needed (never off the screen) so that both fit side by side; on a
// screen too narrow for both the plot keeps to the screen's right edge.
// Frames are whole windows, decoration included.
struct PlotPlacement {
    QPoint mainTopLeft;
    QPoint plotTopLeft;
};
PlotPlacement placeBeside(const QRect& mainFrame, const QSize& plotFrame, const QRect& available);

// The window's side of keeping the choice between runs: every plot under
// root by name, and the choices read back (names not given stay hidden).
std::map<std::string, bool> livePlotsWanted(const QWidget* root);
void restoreLivePlots(const QWidget* root, const std::map<std::string, bool>& wanted);

}  // namespace ktx
