#pragma once

// Records as text for people (a table) and programs (JSON, CSV). Device text is made
// valid UTF-8 on the way out; nothing a device sent can break the format.

#include <string>
#include <vector>

#include "history/device_record.h"

// One line per record, newest first as given: time (UTC), station, kind, outcome, UID,
// MAC, address, version, reason; the failed steps indented below their record.
std::string strHistoryTable(const std::vector<CDeviceRecord>& records);

// A JSON array of record objects: time (ISO 8601 UTC), time_ms, station, operator, uid,
// mac, address, version, kind, outcome, reason, duration_ms, version_after, steps
// (name, outcome, reason, ms) and files (name, type, bytes, sha256).
std::string strHistoryJson(const std::vector<CDeviceRecord>& records);

// The record fields as CSV with a header line; steps as "name:outcome" separated by
// ';' (a failed step's reason in parentheses), files as "name:sha256".
std::string strHistoryCsv(const std::vector<CDeviceRecord>& records);
