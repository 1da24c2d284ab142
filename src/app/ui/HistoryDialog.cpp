#include "app/ui/HistoryDialog.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "app/ui/CheckTexts.h"
#include "widgets/LocaleText.h"

namespace ktx {
namespace {

// The stored start ("2026-12-09T12:00:00.000Z") as the logs write a time:
// local, in the window's locale; a text that is no such time as it is.
QString startText(const std::string& start)
{
    const QString text = QString::fromStdString(start);
    const QDateTime utc = QDateTime::fromString(text, Qt::ISODateWithMs);
    return utc.isValid() ? dateTimeText(utc.toMSecsSinceEpoch(), QLocale()) : text;
}

QString failedStepsText(const std::vector<results::StepName>& steps)
{
    QStringList titles;
    for (const results::StepName& step : steps)
        titles << stepTitle(step.name, step.type);
    return titles.join(QStringLiteral(", "));
}

// The record set shares one stem: "<stem>.json" beside "<stem>.html".
QString reportOf(const QString& recordFile)
{
    return recordFile.endsWith(QStringLiteral(".json")) ? recordFile.chopped(5) + QStringLiteral(".html") : recordFile;
}

QTreeWidgetItem* runItem(const results::HistoryRun& run)
{
    auto* item = new QTreeWidgetItem;
    item->setText(HistoryDialog::kDate, startText(run.start));
    item->setText(HistoryDialog::kStation, QString::fromStdString(run.station));
    item->setText(HistoryDialog::kOperator, QString::fromStdString(run.operatorName));
    const VerdictText verdict = storedVerdict(run.outcome, run.interrupted);
    item->setText(HistoryDialog::kVerdict, verdict.text);
    item->setForeground(HistoryDialog::kVerdict, verdict.colour);
    item->setText(HistoryDialog::kFailedSteps, failedStepsText(run.failedSteps));
    item->setToolTip(HistoryDialog::kFailedSteps, item->text(HistoryDialog::kFailedSteps));
    item->setData(HistoryDialog::kDate, Qt::UserRole, QString::fromStdString(run.recordFile));
    item->setData(HistoryDialog::kStation, Qt::UserRole, QString::fromStdString(run.station));
    return item;
}

}  // namespace

HistoryDialog::HistoryDialog(const QString& database, QWidget* parent)
    : QDialog(parent), opener_(localFileOpener())
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(QStringLiteral("История проверок"));
    auto* layout = new QVBoxLayout(this);

    heading_ = new QLabel(QStringLiteral("Читаю историю проверок…"), this);
    heading_->setObjectName(QStringLiteral("HistoryHeading"));
    heading_->setWordWrap(true);
    heading_->setTextFormat(Qt::PlainText);
    layout->addWidget(heading_);
    auto* where = new QLabel(QStringLiteral("База результатов: ") + database, this);
    where->setObjectName(QStringLiteral("HistoryDatabase"));
    where->setWordWrap(true);
    where->setTextFormat(Qt::PlainText);
    where->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(where);

    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("HistoryList"));
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setHeaderLabels({QStringLiteral("Дата"), QStringLiteral("Станция"), QStringLiteral("Оператор"),
        QStringLiteral("Итог"), QStringLiteral("Не пройдены")});
    list_->header()->setStretchLastSection(true);
    layout->addWidget(list_, 1);

    note_ = new QLabel(this);
    note_->setObjectName(QStringLiteral("HistoryNote"));
    note_->setWordWrap(true);
    note_->setTextFormat(Qt::PlainText);
    note_->setVisible(false);
    layout->addWidget(note_);
    // Read-only but selectable: where nothing opens the report, its path is
    // copied from here.
    path_ = new QLineEdit(this);
    path_->setObjectName(QStringLiteral("HistoryPath"));
    path_->setReadOnly(true);
    path_->setVisible(false);
    layout->addWidget(path_);

    auto* buttons = new QHBoxLayout;
    openReport_ = new QPushButton(QStringLiteral("Открыть отчёт"), this);
    openReport_->setObjectName(QStringLiteral("HistoryOpenReport"));
    openReport_->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("HistoryClose"));
    buttons->addWidget(openReport_);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(openReport_, &QPushButton::clicked, this, &HistoryDialog::openSelectedReport);
    connect(list_, &QTreeWidget::itemActivated, this, &HistoryDialog::openSelectedReport);
    connect(list_, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* current) { openReport_->setEnabled(current != nullptr); });
    resize(680, 360);
}

void HistoryDialog::showNoTracker()
{
    heading_->setText(QStringLiteral("Трекер не опознан: подключите его и дождитесь серийного номера."));
}

void HistoryDialog::showFailure(const QString& error)
{
    heading_->setText(QStringLiteral("Историю прочитать не удалось: что мешает, сказано ниже."));
    showNote(error);
}

void HistoryDialog::showRuns(const QString& serial, const std::vector<results::HistoryRun>& runs)
{
    list_->clear();
    if (runs.empty()) {
        heading_->setText(QStringLiteral("Трекер %1 ещё не проверялся: в базе результатов нет его проверок.").arg(serial));
        return;
    }
    heading_->setText(QStringLiteral("Трекер %1: проверок %2, новые сверху.").arg(serial).arg(runs.size()));
    for (const results::HistoryRun& run : runs)
        list_->addTopLevelItem(runItem(run));
    for (int column = 0; column < kFailedSteps; ++column)
        list_->resizeColumnToContents(column);
    list_->setCurrentItem(list_->topLevelItem(0));
}

void HistoryDialog::openSelectedReport()
{
    const QTreeWidgetItem* item = list_->currentItem();
    if (!item)
        return;
    const QString record = item->data(kDate, Qt::UserRole).toString();
    if (record.isEmpty()) {
        showNote(QStringLiteral("Где лежит отчёт этой проверки, в базе не записано."));
        return;
    }
    const QString report = reportOf(record);
    if (!QFileInfo(report).isFile()) {
        showNote(QStringLiteral("Отчёта нет на этом компьютере (проверку записала станция «%1»; файл могли "
                                "перенести или удалить):")
                     .arg(item->data(kStation, Qt::UserRole).toString()),
            report);
        return;
    }
    if (!opener_ || !opener_(QUrl::fromLocalFile(report))) {
        showNote(QStringLiteral("Отчёт открыть нечем (нет программы для HTML): путь к нему ниже, его можно скопировать."),
            report);
        return;
    }
    note_->setVisible(false);
    path_->setVisible(false);
}

void HistoryDialog::showNote(const QString& text, const QString& path)
{
    note_->setText(text);
    note_->setVisible(true);
    path_->setText(path);
    path_->setCursorPosition(0);
    path_->setVisible(!path.isEmpty());
}

}  // namespace ktx
