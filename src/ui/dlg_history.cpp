#include "ui/dlg_history.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/shown_text.h"
#include "ui/dialog_text.h"
#include "ui/window_history.h"

namespace {

QString strQ(const std::string& text) {
    return QString::fromStdString(strShownText(text));
}

QString strFailedSteps(const CDeviceRecord& record) {
    QStringList steps;
    for (const CRecordStep& step : record.m_steps) {
        if (step.m_eOutcome == EJobOutcome::kFail) {
            steps << strQ(step.m_strName + ": " + step.m_strReason);
        }
    }
    return steps.join(QStringLiteral("; "));
}

QString strFiles(const CDeviceRecord& record) {
    QStringList files;
    for (const CRecordFile& file : record.m_files) {
        files << strQ(file.m_strName + " (" + file.m_strType + ", " +
                      std::to_string(file.m_llBytes) + " bytes, SHA-256 " + file.m_strSha256 + ")");
    }
    return files.join(QStringLiteral("; "));
}

}  // namespace

CDlgHistory::CDlgHistory(CWindowHistory& history, QWidget* parent)
    : QDialog(parent), m_history(history) {
    setWindowTitle(strTrKey("History"));
    auto* layout = new QVBoxLayout(this);

    auto* keyRow = new QHBoxLayout;
    m_pKey = new QLineEdit(this);
    m_pKey->setPlaceholderText(strTrKey("UID, MAC or IP (empty: the latest records)"));
    auto* show = new QPushButton(strTrKey("Show"), this);
    show->setAutoDefault(false);
    keyRow->addWidget(m_pKey, 1);
    keyRow->addWidget(show);
    layout->addLayout(keyRow);

    m_pTable = new QTableWidget(0, kColumns, this);
    m_pTable->setHorizontalHeaderLabels(
        {strTrKey("Time (UTC)"), strTrKey("Station"), strTrKey("Operator"), strTrKey("Job"),
         strTrKey("Outcome"), QStringLiteral("UID"), QStringLiteral("MAC"), QStringLiteral("IP"),
         strTrKey("Version"), strTrKey("Reason"), strTrKey("Failed steps"), strTrKey("Files")});
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_pTable, 1);
    m_pStatus = new QLabel(this);
    layout->addWidget(m_pStatus);

    auto* form = new QFormLayout;
    const CHistorySettings& settings = m_history.settings();
    m_pStation = new QLineEdit(QString::fromStdString(settings.m_strStation), this);
    m_pStation->setPlaceholderText(QString::fromStdString(strDefaultStationName()));
    m_pOperator = new QLineEdit(QString::fromStdString(settings.m_strOperator), this);
    QStringList dbs;
    for (const std::string& db : settings.m_dbs) {
        dbs << QString::fromStdString(db);
    }
    m_pDatabases = new QLineEdit(dbs.join(QLatin1Char(' ')), this);
    m_pDatabases->setPlaceholderText(QStringLiteral("sqlite:PATH postgresql://..."));
    auto* save = new QPushButton(strTrKey("Save settings"), this);
    save->setAutoDefault(false);
    form->addRow(strTrKey("Station"), m_pStation);
    form->addRow(strTrKey("Operator"), m_pOperator);
    form->addRow(strTrKey("Databases"), m_pDatabases);
    form->addRow(QString(), save);
    layout->addLayout(form);
    resize(1000, 480);

    connect(show, &QPushButton::clicked, this, [this] { fgQuery(); });
    connect(m_pKey, &QLineEdit::returnPressed, this, [this] { fgQuery(); });
    connect(save, &QPushButton::clicked, this, [this] { vSaveSettings(); });
}

CDlgHistory::~CDlgHistory() {
    m_worker.vStop(0);
}

void CDlgHistory::vShowKey(const QString& key) {
    m_pKey->setText(key);
    fgQuery();
}

bool CDlgHistory::fgQuery() {
    if (fgQuerying()) {
        return false;
    }
    CHistoryQuery query = sQueryForKey(m_pKey->text().trimmed().toStdString());
    query.m_iLimit = 1000;
    m_pStatus->setText(strTrKey("Reading the history..."));
    const auto started = m_worker.sStart(
        "history-query", [this, query, config = m_history.config()](std::stop_token) {
            std::string error;
            std::vector<CDeviceRecord> records;
            EHistorySource source = EHistorySource::kLocal;
            const std::unique_ptr<CHistoryStore> store = CHistoryStore::psOpen(config, error);
            if (store && !store->fgQuery(query, records, source, error)) {
                records.clear();
            }
            QMetaObject::invokeMethod(
                this,
                [this, records = std::move(records), source, error] {
                    vOnRecords(records, source, error);
                },
                Qt::QueuedConnection);
        });
    if (!started) {
        m_pStatus->setText(strQ(started.error().m_strReason));
        return false;
    }
    m_fgQuerying = true;
    return true;
}

void CDlgHistory::vOnRecords(const std::vector<CDeviceRecord>& records, EHistorySource source,
                             const std::string& error) {
    m_worker.vStop(0);
    m_fgQuerying = false;
    m_pTable->setRowCount(static_cast<int>(records.size()));
    for (int row = 0; row < static_cast<int>(records.size()); ++row) {
        const CDeviceRecord& record = records[static_cast<std::size_t>(row)];
        const QStringList cells{strQ(strUtcTime(record.m_llTimeMs)),
                                strQ(record.m_strStation),
                                strQ(record.m_strOperator),
                                strQ(record.m_strKind),
                                strQ(std::string(strJobOutcomeName(record.m_eOutcome))),
                                strQ(record.m_strUid),
                                strQ(record.m_strMac),
                                strQ(record.m_strAddress),
                                strQ(record.m_strVersion),
                                strQ(record.m_strReason),
                                strFailedSteps(record),
                                strFiles(record)};
        for (int column = 0; column < kColumns; ++column) {
            m_pTable->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    m_pTable->resizeColumnsToContents();
    if (!error.empty()) {
        m_pStatus->setText(strQ(error));
    } else {
        m_pStatus->setText(strTrKey("%1 records (%2)")
                               .arg(records.size())
                               .arg(source == EHistorySource::kServer ? strTrKey("shared server")
                                                                      : strTrKey("this station")));
    }
}

void CDlgHistory::vSaveSettings() {
    CHistorySettings settings;
    settings.m_strStation = m_pStation->text().trimmed().toStdString();
    settings.m_strOperator = m_pOperator->text().trimmed().toStdString();
    for (const QString& db : m_pDatabases->text().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        settings.m_dbs.push_back(db.toStdString());
    }
    std::string error;
    m_pStatus->setText(m_history.fgApply(settings, error) ? strTrKey("Settings saved")
                                                          : strQ(error));
}
