#include "support/pg_server.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace {

// The folder of initdb and pg_ctl: on the search path, else Debian's versioned folder
// (newest first). Empty when there is none.
std::string strFindPgBinDir() {
    if (const char* path = std::getenv("PATH")) {
        std::string paths = path;
        std::size_t start = 0;
        while (start <= paths.size()) {
            const std::size_t end = std::min(paths.find(':', start), paths.size());
            const std::filesystem::path dir = paths.substr(start, end - start);
            if (!dir.empty() && std::filesystem::exists(dir / "initdb") &&
                std::filesystem::exists(dir / "pg_ctl")) {
                return dir.string() + "/";
            }
            start = end + 1;
        }
    }
    std::vector<std::filesystem::path> versions;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", error)) {
        if (std::filesystem::exists(entry.path() / "bin" / "initdb")) {
            versions.push_back(entry.path() / "bin");
        }
    }
    std::sort(versions.begin(), versions.end(), [](const auto& a, const auto& b) {
        return std::stoi(a.parent_path().filename().string()) >
               std::stoi(b.parent_path().filename().string());
    });
    return versions.empty() ? std::string() : versions.front().string() + "/";
}

}  // namespace

std::unique_ptr<CPgServer> CPgServer::psStart(std::string& reason, ESync sync) {
    auto server = std::make_unique<CPgServer>();
    server->m_eSync = sync;
    server->m_strBinDir = strFindPgBinDir();
    if (server->m_strBinDir.empty()) {
        reason = "PostgreSQL server not installed (initdb, pg_ctl; Debian package postgresql)";
        return nullptr;
    }
    server->m_dir = std::make_unique<CTempDir>();
    if (geteuid() == 0) {
        const passwd* user = getpwnam("postgres");
        if (user == nullptr || access("/usr/sbin/runuser", X_OK) != 0) {
            reason = "running as root without a postgres user and runuser for the test server";
            return nullptr;
        }
        if (chown(server->m_dir->path().c_str(), user->pw_uid, user->pw_gid) != 0) {
            reason = "cannot hand the server's folder to the postgres user";
            return nullptr;
        }
        server->m_fgAsPostgres = true;
    }
    if (!server->fgRun(server->m_strBinDir +
                       "initdb --auth=trust --username=postgres -E UTF8 "
                       "--no-sync -D " +
                       server->m_dir->file("data") + " >" + server->m_dir->file("initdb.log") +
                       " 2>&1")) {
        reason = "initdb failed (see " + server->m_dir->file("initdb.log") + ")";
        return nullptr;
    }
    if (!server->fgStart()) {
        reason = "the test server did not start";
        return nullptr;
    }
    return server;
}

CPgServer::~CPgServer() {
    if (m_fgRunning) {
        fgStop();
    }
}

bool CPgServer::fgRun(const std::string& command) const {
    const std::string line =
        m_fgAsPostgres ? "/usr/sbin/runuser -u postgres -- sh -c '" + command + "'" : command;
    return std::system(line.c_str()) == 0;
}

bool CPgServer::fgStart() {
    if (m_fgRunning) {
        return true;
    }
    // No TCP at all: the socket lives in the server's own folder.
    m_fgRunning = fgRun(m_strBinDir + "pg_ctl -w -t 60 -D " + m_dir->file("data") + " -l " +
                        m_dir->file("server.log") + " -o \"-c listen_addresses= -c fsync=" +
                        (m_eSync == ESync::kOn ? "on" : "off") + " -k " + m_dir->path().string() +
                        "\" start >/dev/null 2>&1");
    return m_fgRunning;
}

bool CPgServer::fgStop() {
    const bool stopped = fgRun(m_strBinDir + "pg_ctl -w -t 60 -m fast -D " + m_dir->file("data") +
                               " stop >/dev/null 2>&1");
    m_fgRunning = m_fgRunning && !stopped;
    return stopped;
}

std::string CPgServer::strUrl(const std::string& name) const {
    return "postgresql:///" + name + "?host=" + m_dir->path().string() + "&user=postgres";
}

std::string CPgServer::strCreateDatabase(const std::string& name) {
    PGconn* connection = PQconnectdb(strUrl("postgres").c_str());
    if (PQstatus(connection) == CONNECTION_OK) {
        // The name is the test's own constant; a database that exists already is kept.
        PQclear(PQexec(connection, ("CREATE DATABASE " + name).c_str()));
    }
    PQfinish(connection);
    return strUrl(name);
}
