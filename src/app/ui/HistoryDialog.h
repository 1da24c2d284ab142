#pragma once
// The dialog of the window's "История": the identified tracker's stored
// check runs, newest first, and a selected run's HTML report.
#include <QDialog>
#include <QString>
#include <vector>

#include "widgets/LinkOpener.h"
#include "results/ResultsStore.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ktx {

class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { kDate, kStation, kOperator, kVerdict, kFailedSteps, kColumnCount };

    // database: the results database as it may be shown (no password).
    HistoryDialog(const QString& database, QWidget* parent);

    // How a report is handed to the desktop; tests hand in their own.
    void setUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }

    // What the read on the device worker found.
    void showNoTracker();
    void showFailure(const QString& error);
    void showRuns(const QString& serial, const std::vector<results::HistoryRun>& runs);

    // The selected run's report; where it cannot be, the note says why and
    // the path is left to be copied.
    void openSelectedReport();

private:
    void showNote(const QString& text, const QString& path = {});

    UrlOpener opener_;
    QLabel* heading_;
    QTreeWidget* list_;
    QLabel* note_;
    QLineEdit* path_;
    QPushButton* openReport_;
};

}  // namespace ktx
