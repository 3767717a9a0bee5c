#include "history/history_store.h"

#include "history/pg_record_store.h"
#include "history/sqlite_record_store.h"
#include "platform/env.h"

std::optional<CHistoryConfig> sParseHistoryDb(const std::vector<std::string>& dbs,
                                              const std::string& defaultLocalPath,
                                              std::string& error) {
    CHistoryConfig config;
    config.m_strLocalPath = defaultLocalPath;
    bool localGiven = false;
    for (const std::string& db : dbs) {
        if (db.starts_with("sqlite:") && db.size() > 7 && !localGiven) {
            config.m_strLocalPath = db.substr(7);
            localGiven = true;
        } else if ((db.starts_with("postgresql://") || db.starts_with("postgres://")) &&
                   config.m_strServerUrl.empty()) {
            config.m_strServerUrl = db;
        } else {
            error = "--db wants one sqlite:PATH and one postgresql://... at most, not '" + db + "'";
            return std::nullopt;
        }
    }
    return config;
}

std::string strDefaultStationName() {
    const std::string name = strHostName();
    return name.empty() ? "station" : name;
}

std::unique_ptr<CHistoryStore> CHistoryStore::psOpen(const CHistoryConfig& config,
                                                     std::string& error) {
    std::unique_ptr<CSqliteRecordStore> local =
        CSqliteRecordStore::psOpen(config.m_strLocalPath, error);
    if (!local) {
        return nullptr;
    }
    return std::make_unique<CHistoryStore>(CToken{}, config, std::move(local));
}

CHistoryStore::CHistoryStore(CToken, CHistoryConfig config,
                             std::unique_ptr<CSqliteRecordStore> local)
    : m_config(std::move(config)), m_local(std::move(local)) {}

CHistoryStore::~CHistoryStore() = default;

bool CHistoryStore::fgRecord(const std::vector<CDeviceRecord>& records, std::string& error) {
    return m_local->fgStore(records, error);
}

long long CHistoryStore::iWaiting() {
    return fgHasServer() ? m_local->iOutboxCount() : 0;
}

CForwardResult CHistoryStore::sForward() {
    CForwardResult result;
    if (!fgHasServer()) {
        return result;
    }
    result.m_llWaiting = m_local->iOutboxCount();
    if (result.m_llWaiting == 0) {
        return result;
    }
    const std::unique_ptr<CPgRecordStore> server =
        CPgRecordStore::psOpen(m_config.m_strServerUrl, result.m_strError);
    if (server) {
        std::vector<CDeviceRecord> batch;
        while (m_local->fgReadOutbox(kForwardBatch, batch, result.m_strError) && !batch.empty()) {
            // The server commits first: a station killed between the two sends the
            // batch again next time, and the server keeps each record once.
            std::vector<std::string> keys;
            for (const CDeviceRecord& record : batch) {
                keys.push_back(record.m_strKey);
            }
            if (!server->fgStore(batch, result.m_strError) ||
                !m_local->fgClearOutbox(keys, result.m_strError)) {
                break;
            }
            result.m_llForwarded += static_cast<long long>(batch.size());
            batch.clear();
        }
    }
    result.m_llWaiting = m_local->iOutboxCount();
    return result;
}

bool CHistoryStore::fgQuery(const CHistoryQuery& query, std::vector<CDeviceRecord>& records,
                            EHistorySource& source, std::string& error) {
    source = EHistorySource::kLocal;
    if (fgHasServer()) {
        const CForwardResult forwarded = sForward();
        if (forwarded.m_strError.empty()) {
            std::string serverError;
            if (const std::unique_ptr<CPgRecordStore> server =
                    CPgRecordStore::psOpen(m_config.m_strServerUrl, serverError);
                server && server->fgQuery(query, records, serverError)) {
                source = EHistorySource::kServer;
                return true;
            }
            records.clear();
        }
    }
    return m_local->fgQuery(query, records, error);
}
