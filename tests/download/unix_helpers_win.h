#pragma once
// Linux helpers for Windows test and benchmark programs running under Wine:
// a scratch folder seen from both sides, /bin/sh scripts run to their end,
// and nginx on a loopback port. Wine hands a Unix program neither our pipes
// nor a process handle, so each script ends by writing a marker file that is
// polled.
#include <winsock2.h>

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace unixside {

inline std::wstring Widen(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

inline std::uint64_t FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The Unix path of a Windows path, through Wine's own export.
inline std::string UnixPath(const std::wstring& path) {
    using Fn = char*(__cdecl*)(const wchar_t*);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn)
        return {};
    char* unix = fn(path.c_str());
    if (!unix)
        return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

inline std::string ReadText(const std::wstring& path) {
    std::ifstream in{std::filesystem::path(path), std::ios::binary};
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// A folder for helper files, with its Windows and Unix paths (both ending
// in a separator); removed with everything in it at the end.
struct Scratch {
    explicit Scratch(const std::wstring& name) {
        wchar_t temp[MAX_PATH + 1] = {};
        if (!GetTempPathW(MAX_PATH + 1, temp))
            return;
        win = std::wstring(temp) + name + L"\\";
        // What a run that was killed left behind (its scripts' end markers
        // among it) must not be taken for this run's.
        std::error_code ec;
        std::filesystem::remove_all(std::filesystem::path(win), ec);
        CreateDirectoryW(win.c_str(), nullptr);
        unix = UnixPath(win);
        if (unix.find('\'') != std::string::npos)
            unix.clear(); // scripts quote paths with it
        if (!unix.empty() && unix.back() != '/')
            unix += '/';
    }
    ~Scratch() {
        std::error_code ec;
        if (!win.empty())
            std::filesystem::remove_all(std::filesystem::path(win), ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    bool Ok() const { return !unix.empty(); }

    std::wstring win;
    std::string unix;
};

// Runs `script` with /bin/sh and waits (at most `timeout`) for it to end;
// what it printed, or nothing when it could not run or did not end in time.
inline std::optional<std::string> RunShell(const Scratch& scratch, const std::string& script,
                                           std::chrono::seconds timeout) {
    static int serial = 0;
    const std::string name = "sh" + std::to_string(++serial);
    const std::wstring output = scratch.win + Widen(name) + L".out";
    const std::wstring marker = scratch.win + Widen(name) + L".end";
    {
        std::ofstream file{std::filesystem::path(scratch.win + Widen(name) + L".sh"),
                           std::ios::binary};
        file << "exec >'" << scratch.unix << name << ".out' 2>&1 </dev/null\n"
             << script << "\necho $? >'" << scratch.unix << name << ".end'\n";
        if (!file.flush()) {
            std::fprintf(stderr, "helper: cannot write a helper script\n");
            return std::nullopt;
        }
    }
    // Windows quoting: the script's path is one argument in double quotes.
    std::wstring command = L"Z:\\bin\\sh \"" + Widen(scratch.unix + name) + L".sh\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        std::fprintf(stderr, "helper: cannot start /bin/sh (%lu)\n", GetLastError());
        return std::nullopt;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::string end = ReadText(marker);
        if (!end.empty() && end.back() == '\n') {
            const std::string text = ReadText(output);
            if (std::atoi(end.c_str()) != 0) {
                std::fprintf(stderr, "helper: a helper failed (%s): %s\n",
                             end.substr(0, end.size() - 1).c_str(), text.c_str());
                return std::nullopt;
            }
            return text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(stderr, "helper: a helper did not end in time\n");
    return std::nullopt;
}

// A loopback port nobody listens on at the moment.
inline int FreePort() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 0;
    int port = 0;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    if (s != INVALID_SOCKET)
        closesocket(s);
    WSACleanup();
    return port;
}

// The nginx command line for the server whose configuration and files are
// in `scratch`, with `signal` ("-s stop") or nothing to start it.
inline std::string NginxCommand(const Scratch& scratch, const std::string& signal) {
    return "'" + EnvOr("TB_NGINX", "/usr/sbin/nginx") + "' -q -p '" + scratch.unix + "nginx' -c '" +
           scratch.unix + "nginx/nginx.conf' " + signal;
}

// What the nginx started in `scratch` has logged, for a report when it does
// not serve.
inline std::string NginxErrorLog(const Scratch& scratch) {
    return ReadText(scratch.win + L"nginx\\error.log");
}

// Stops the nginx started in `scratch`, if one runs.
inline void StopNginx(const Scratch& scratch) {
    RunShell(scratch, NginxCommand(scratch, "-s stop"), std::chrono::seconds(30));
}

// nginx on a free loopback port for the lifetime of this object, with its
// configuration and files in the scratch folder. `servers` gives the server
// blocks for the port (the default serves the scratch folder's www/).
class Nginx {
public:
    using Servers = std::function<std::string(int port, const std::string& unixFolder)>;
    explicit Nginx(const Scratch& scratch, Servers servers = {}) : m_scratch(scratch) {
        m_port = FreePort();
        const std::string& u = scratch.unix;
        if (!servers) {
            servers = [](int port, const std::string& folder) {
                return "  server { listen 127.0.0.1:" + std::to_string(port) + "; root " + folder +
                       "www; }\n";
            };
        }
        CreateDirectoryW((scratch.win + L"nginx").c_str(), nullptr);
        std::ofstream conf{std::filesystem::path(scratch.win + L"nginx\\nginx.conf"),
                           std::ios::binary};
        // One process that serves by itself: no worker is started, so none
        // has to switch to another user first (run as root, nginx would
        // make its worker "nobody", which a sandbox may refuse; the
        // listening socket then takes connections that nobody answers).
        conf << "master_process off;\ndaemon on;\npid " << u << "nginx/nginx.pid;\n"
             << "error_log " << u << "nginx/error.log;\n"
             << "events { worker_connections 64; }\n"
             << "http {\n  access_log off;\n  sendfile on;\n"
             << "  client_body_temp_path " << u << "nginx;\n"
             << "  proxy_temp_path " << u << "nginx;\n  fastcgi_temp_path " << u << "nginx;\n"
             << "  uwsgi_temp_path " << u << "nginx;\n  scgi_temp_path " << u << "nginx;\n"
             << servers(m_port, u) << "}\n";
        conf.close();
        m_ok = m_port != 0 &&
               RunShell(scratch, NginxCommand(scratch, ""), std::chrono::seconds(30)).has_value();
        if (!m_ok)
            std::fprintf(stderr, "helper: nginx did not start (%s)\n",
                         EnvOr("TB_NGINX", "/usr/sbin/nginx").c_str());
    }
    ~Nginx() {
        if (m_ok)
            StopNginx(m_scratch);
    }
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;
    bool Ok() const { return m_ok; }
    int Port() const { return m_port; }

private:
    const Scratch& m_scratch;
    int m_port = 0;
    bool m_ok = false;
};

// Ends a program that hangs, naming what it was doing: the program names
// each step with Step(); a step still running after `limit` is reported on
// stderr, `cleanUp` runs (stop the servers the program started, so none
// outlives it) and the process ends with exit code 3. A hang in a network
// call that nothing can interrupt then shows as its step within `limit`,
// instead of as a test runner's timeout with nothing said.
class Watchdog {
public:
    Watchdog(std::chrono::seconds limit, std::function<void()> cleanUp)
        : m_limit(limit), m_cleanUp(std::move(cleanUp)), m_thread([this] { Watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void Step(std::string what) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_step = std::move(what);
            ++m_serial;
        }
        m_changed.notify_all();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_done) {
            const unsigned serial = m_serial;
            if (m_changed.wait_for(lock, m_limit, [&] { return m_done || m_serial != serial; }))
                continue;
            std::fprintf(stderr, "watchdog: \"%s\" did not end within %lld s\n", m_step.c_str(),
                         static_cast<long long>(m_limit.count()));
            std::fflush(stderr);
            std::fflush(stdout);
            lock.unlock();
            if (m_cleanUp)
                m_cleanUp();
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }

    const std::chrono::seconds m_limit;
    const std::function<void()> m_cleanUp;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_step = "starting";
    unsigned m_serial = 0;
    bool m_done = false;
    std::thread m_thread; // last: starts once everything above is set
};

} // namespace unixside
