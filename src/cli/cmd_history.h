#pragma once

// The device history from the command line: where the verbs record their jobs
// (--db, --station, --operator) and the `history` verb that reads them back.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "history/history_store.h"
#include "history/job_records.h"

// The history's configuration for the options: --db, else the station's own file in
// its writable folder. nullopt with a reason for a --db it does not know.
std::optional<CHistoryConfig> sCliHistoryConfig(const CCliOptions& options, std::string& error);

// Records a verb's jobs. Recording never changes a verb's outcome: a store that cannot
// be written, or a shared server that is down, is one line on standard error (with the
// number of records that wait for the server).
class CCliHistory {
  public:
    explicit CCliHistory(const CCliOptions& options);
    const CJobContext& context() const { return m_context; }
    // Writes the records to the station's store, then forwards what waits for the
    // server. Nothing for an empty list.
    void vRecord(const std::vector<CDeviceRecord>& records, std::ostream& err) const;

  private:
    const CCliOptions& m_options;
    CJobContext m_context;
};

// The job kind a device command is recorded as, or empty for a command not recorded.
std::string_view strRecordedKind(const std::string& command);

// How a job ended, from the verb's exit code: 0 pass, 3 fail, 4 no answer, else error.
EJobOutcome eCliOutcome(int code);

// What a setting command set, for the record's reason: never a password.
std::string strCommandDetail(const CCliOptions& options);

// kestrel-cli history [KEY] [--since DATE] [--kind K] [--limit N] [--json|--csv].
int iHistoryCommand(const CCliOptions& options, std::ostream& out, std::ostream& err);
