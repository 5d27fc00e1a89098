#include "platform/EventLog.h"

#include "platform/FileUtil.h"
#include "platform/Registry.h"
#include "platform/Root.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace platform {

struct EventSourceRecord {
    std::string source;
    std::string log;
};

namespace {

constexpr const char* kEventLogKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog";
constexpr size_t kMaxString = 32766;

bool ValidName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (char c : name) {
        if (c == '\n' || c == '\r' || c == '\0' || c == '/' || c == '\\') {
            return false;
        }
    }
    return true;
}

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            char next = text[++i];
            out += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string LogOfSource(const std::string& source) {
    RegistryKey root;
    std::vector<std::string> logs;
    if (!RegistryKey::Open(Hive::LOCAL_MACHINE, kEventLogKey, &root).ok() ||
        !root.EnumSubKeys(&logs).ok()) {
        return "Application";
    }
    for (const std::string& log : logs) {
        RegistryKey key;
        if (ValidName(log) &&
            RegistryKey::Open(Hive::LOCAL_MACHINE,
                              std::string(kEventLogKey) + "\\" + log + "\\" + source, &key)
                .ok()) {
            return log;
        }
    }
    return "Application";
}

std::string UtcNow() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm parts{};
    gmtime_r(&now.tv_sec, &parts);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                  parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                  static_cast<int>(now.tv_usec / 1000));
    return text;
}

std::string HostName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "localhost";
    }
    return name;
}

bool KnownType(std::uint16_t type) {
    return type == EVENTLOG_SUCCESS || type == EVENTLOG_ERROR_TYPE ||
           type == EVENTLOG_WARNING_TYPE || type == EVENTLOG_INFORMATION_TYPE ||
           type == EVENTLOG_AUDIT_SUCCESS || type == EVENTLOG_AUDIT_FAILURE;
}

bool SyslogEnabled() {
    const char* env = std::getenv("ORU_EVENTLOG_SYSLOG");
    return env == nullptr || std::strcmp(env, "0") != 0;
}

int SyslogPriority(std::uint16_t type) {
    switch (type) {
        case EVENTLOG_ERROR_TYPE:
        case EVENTLOG_AUDIT_FAILURE:
            return LOG_ERR;
        case EVENTLOG_WARNING_TYPE:
            return LOG_WARNING;
        default:
            return LOG_INFO;
    }
}

}  // namespace

const char* EventTypeName(std::uint16_t type) {
    switch (type) {
        case EVENTLOG_SUCCESS:
            return "SUCCESS";
        case EVENTLOG_ERROR_TYPE:
            return "ERROR";
        case EVENTLOG_WARNING_TYPE:
            return "WARNING";
        case EVENTLOG_INFORMATION_TYPE:
            return "INFORMATION";
        case EVENTLOG_AUDIT_SUCCESS:
            return "AUDIT_SUCCESS";
        case EVENTLOG_AUDIT_FAILURE:
            return "AUDIT_FAILURE";
    }
    return "UNKNOWN";
}

std::string EventLogFilePath(const std::string& logName) {
    return RootPath("eventlog/" + logName + ".log");
}

EventSourceHandle RegisterEventSource(const std::string& sourceName) {
    if (!ValidName(sourceName)) {
        errno = EINVAL;
        return nullptr;
    }
    return new EventSourceRecord{sourceName, LogOfSource(sourceName)};
}

bool DeregisterEventSource(EventSourceHandle source) {
    if (source == nullptr) {
        errno = EINVAL;
        return false;
    }
    delete source;
    return true;
}

bool ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint16_t category,
                 std::uint32_t eventId, const std::vector<std::string>& strings) {
    if (source == nullptr || !KnownType(type)) {
        errno = EINVAL;
        return false;
    }
    std::string line = UtcNow();
    line += '\t';
    line += Escape(HostName());
    line += '\t';
    line += Escape(source->source);
    line += '\t';
    line += EventTypeName(type);
    char numbers[80];
    std::snprintf(numbers, sizeof numbers, "\t%u\t%u\t%ld\t%zu", static_cast<unsigned>(category),
                  static_cast<unsigned>(eventId), static_cast<long>(getpid()), strings.size());
    line += numbers;
    std::string joined;
    for (const std::string& text : strings) {
        std::string cut = text.size() > kMaxString ? text.substr(0, kMaxString) : text;
        line += '\t';
        line += Escape(cut);
        if (!joined.empty()) {
            joined += " | ";
        }
        joined += cut;
    }
    line += '\n';

    if (SyslogEnabled()) {
        syslog(LOG_DAEMON | SyslogPriority(type), "%s: %s (category %u, id %u): %s",
               source->source.c_str(), EventTypeName(type), static_cast<unsigned>(category),
               static_cast<unsigned>(eventId), joined.c_str());
    }

    std::string dir = RootPath("eventlog");
    int error = MakeDirs(dir);
    if (error != 0) {
        errno = error;
        return false;
    }
    int fd = ::open(EventLogFilePath(source->log).c_str(),
                    O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    // A record that would pass the process's file-size limit is refused
    // whole (EFBIG), as a full disk refuses it: the write would land only
    // part of the line, and the next one would raise SIGXFSZ.
    rlimit limit{};
    struct stat info {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        ::fstat(fd, &info) == 0 &&
        static_cast<rlim_t>(info.st_size) + line.size() > limit.rlim_cur) {
        ::close(fd);
        errno = EFBIG;
        return false;
    }
    // One write per record: with O_APPEND the kernel places it whole at the end.
    ssize_t written;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    int saved = errno;
    ::close(fd);
    if (written != static_cast<ssize_t>(line.size())) {
        errno = written < 0 ? saved : EIO;
        return false;
    }
    return true;
}

bool AddEventSource(const std::string& logName, const std::string& sourceName,
                    std::string* message) {
    if (!ValidName(logName) || !ValidName(sourceName)) {
        *message = "invalid event log or source name";
        return false;
    }
    RegistryKey key;
    RegResult result = RegistryKey::Create(
        Hive::LOCAL_MACHINE, std::string(kEventLogKey) + "\\" + logName + "\\" + sourceName, &key);
    if (result.ok()) {
        result = key.WriteDword("TypesSupported", 7);
    }
    *message = result.message;
    return result.ok();
}

bool RemoveEventSource(const std::string& logName, const std::string& sourceName,
                       std::string* message) {
    RegResult result = RegistryKey::DeleteKey(
        Hive::LOCAL_MACHINE, std::string(kEventLogKey) + "\\" + logName + "\\" + sourceName, true);
    *message = result.message;
    return result.ok() || result.status == RegStatus::REG_NOT_FOUND;
}

bool ReadEventLog(const std::string& logName, std::vector<EventRecord>* records, int* badLines) {
    records->clear();
    if (badLines != nullptr) {
        *badLines = 0;
    }
    std::string text;
    int error = ReadWholeFile(EventLogFilePath(logName), &text);
    if (error == ENOENT) {
        return true;
    }
    if (error != 0) {
        errno = error;
        return false;
    }
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            fields.push_back(
                line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) {
                break;
            }
            start = tab + 1;
        }
        EventRecord record;
        bool good = fields.size() >= 8;
        if (good) {
            record.time = fields[0];
            record.host = Unescape(fields[1]);
            record.source = Unescape(fields[2]);
            static const std::uint16_t kTypes[] = {
                EVENTLOG_SUCCESS,          EVENTLOG_ERROR_TYPE,    EVENTLOG_WARNING_TYPE,
                EVENTLOG_INFORMATION_TYPE, EVENTLOG_AUDIT_SUCCESS, EVENTLOG_AUDIT_FAILURE};
            good = false;
            for (std::uint16_t type : kTypes) {
                if (fields[3] == EventTypeName(type)) {
                    record.type = type;
                    good = true;
                }
            }
            record.category =
                static_cast<std::uint16_t>(std::strtoul(fields[4].c_str(), nullptr, 10));
            record.eventId =
                static_cast<std::uint32_t>(std::strtoul(fields[5].c_str(), nullptr, 10));
            record.processId =
                static_cast<std::uint32_t>(std::strtoul(fields[6].c_str(), nullptr, 10));
            size_t count = std::strtoul(fields[7].c_str(), nullptr, 10);
            good = good && count == fields.size() - 8;
            for (size_t i = 8; good && i < fields.size(); ++i) {
                record.strings.push_back(Unescape(fields[i]));
            }
        }
        if (good) {
            records->push_back(std::move(record));
        } else if (badLines != nullptr && !line.empty()) {
            ++*badLines;
        }
    }
    return true;
}

}  // namespace platform
