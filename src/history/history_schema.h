#pragma once

// The schema of the history, the same in SQLite and PostgreSQL, as numbered
// migrations. A store at version N runs migrations N+1 ... kHistorySchemaVersion in
// order, each in the transaction that also records its number in kestrel_schema; a
// store whose version is newer than this station knows is refused, never written.

#include <string_view>
#include <vector>

inline constexpr int kHistorySchemaVersion = 2;

enum class ESqlDialect { kSqlite, kPostgres };

// The statements that take a store from version - 1 to version (1 to
// kHistorySchemaVersion).
std::vector<std::string_view> vecMigration(ESqlDialect dialect, int version);
