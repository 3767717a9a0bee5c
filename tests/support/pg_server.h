#pragma once

#include <memory>
#include <string>

#include "support/temp_dir.h"

// A throw-away PostgreSQL server for one test suite: a cluster made with initdb in a
// temporary folder, listening only on a unix socket in that folder (no TCP), trusted
// for the user "postgres", removed with the object. As root, the server runs as the
// system user "postgres" (initdb refuses root).
//
//   static std::unique_ptr<CPgServer> server = CPgServer::psStart(reason);
//   if (!server) GTEST_SKIP() << reason;
//   const std::string url = server->strCreateDatabase("t1");
class CPgServer {
  public:
    // kOff: commits are not flushed to disk (tests); kOn: as a real server (benchmarks).
    enum class ESync { kOff, kOn };

    // nullptr with the reason when the server programs are not installed or the
    // server does not come up.
    static std::unique_ptr<CPgServer> psStart(std::string& reason, ESync sync = ESync::kOff);
    ~CPgServer();
    CPgServer(const CPgServer&) = delete;
    CPgServer& operator=(const CPgServer&) = delete;

    // Stops the server (fast shutdown, connections cut) and starts it again (a running
    // server is left running).
    bool fgStop();
    bool fgStart();

    // The URL of database name (created when missing).
    std::string strCreateDatabase(const std::string& name);
    // The URL of a database of this server, without creating it.
    std::string strUrl(const std::string& name) const;

    CPgServer() = default;

  private:
    bool fgRun(const std::string& command) const;

    std::string m_strBinDir;  // with a trailing separator
    std::unique_ptr<CTempDir> m_dir;
    bool m_fgAsPostgres = false;
    bool m_fgRunning = false;
    ESync m_eSync = ESync::kOff;
};
