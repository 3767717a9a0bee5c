#pragma once

// One interface for the places records are kept: the station's own SQLite file and a
// shared PostgreSQL server. Both hold the same schema (history_schema.h); every value
// goes in as a bound parameter, never as text inside the SQL.

#include <string>
#include <vector>

#include "history/device_record.h"

class IRecordStore {
  public:
    virtual ~IRecordStore() = default;

    // Stores the records in one transaction. A record whose key is already stored is
    // left as it is (storing it again is not an error), so a record forwarded twice
    // is kept once. False with a reason when nothing was stored.
    virtual bool fgStore(const std::vector<CDeviceRecord>& records, std::string& error) = 0;

    // The records the query asks for, newest first, with their steps and files.
    // False with a reason when the store could not be read.
    virtual bool fgQuery(const CHistoryQuery& query, std::vector<CDeviceRecord>& records,
                         std::string& error) = 0;
};
