#include "sim/StrovsimCli.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileUtil.h"
#include "platform/Root.h"
#include "sim/DefaultScenario.h"
#include "sim/ModelJson.h"
#include "sim/RecoveryScenario.h"
#include "sim/SimServer.h"
#include "sim/Simulator.h"
#include "sim/StrovsimTexts.h"

namespace sim {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitBadArgument = 2;

SimServer* gServer = nullptr;

void OnSignal(int) {
    if (gServer)
        gServer->Stop();
}

void Say(StrovsimText id, const char* a = "", const char* b = "") {
    std::fprintf(stderr, Text(id), a, b);
}

// Verbs the running server handles itself, with their word counts (min, max).
struct Verb {
    const char* name;
    int minArgs;
    int maxArgs;
};
constexpr Verb kControlVerbs[] = {
    {"show", 0, 0},
    {"trace", 1, 1},
    {"clear-trace", 1, 1},
    {"pull", 2, 2},
    {"insert", 2, 3},
    {"fail-drive", 2, 2},
    {"fail-controller", 2, 2},
    {"remove-controller", 2, 2},
    {"restore-controller", 2, 2},
    {"remove-path", 1, 1},
    {"add-path", 1, 1},
    {"silence", 3, 3},
    {"silence-op", 3, 3},
    {"unsilence", 2, 2},
    {"refuse", 4, 4},
    {"fault", 4, 7},
    {"media-error", 3, 5},
    {"clear-media-errors", 2, 2},
    {"clear-faults", 0, 0},
    {"log", 3, 3},
    {"advance", 1, 1},
    {"timescale", 1, 1},
    {"firmware", 1, 4},
};

bool LoadWorld(const std::string& file, WorldModel* world, StrovsimText failText) {
    std::string text, error;
    int rc = platform::ReadWholeFile(file, &text);
    if (rc != 0) {
        Say(failText, file.c_str(), std::strerror(rc));
        return false;
    }
    if (!ModelJson::FromText(text, world, &error)) {
        Say(failText, file.c_str(), error.c_str());
        return false;
    }
    return true;
}

int Serve(const std::vector<std::string>& args) {
    bool daemon = false;
    std::string scenario;
    std::string recovery;
    double scale = 0;
    bool scaleGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--daemon") {
            daemon = true;
        } else if (args[i] == "--scenario" || args[i] == "--time-scale" ||
                   args[i] == "--recovery") {
            if (i + 1 >= args.size()) {
                Say(StrovsimText::kMissingArgument, args[i].c_str());
                return kExitBadArgument;
            }
            if (args[i] == "--scenario") {
                scenario = args[++i];
            } else if (args[i] == "--recovery") {
                recovery = args[++i];
            } else {
                char* end = nullptr;
                scale = std::strtod(args[++i].c_str(), &end);
                if (*end != '\0' || !(scale >= 0) || scale > 1e6) {
                    Say(StrovsimText::kBadOption, args[i].c_str());
                    return kExitBadArgument;
                }
                scaleGiven = true;
            }
        } else {
            Say(StrovsimText::kBadOption, args[i].c_str());
            return kExitBadArgument;
        }
    }
    std::string answer;
    if (StrovsimCli::SendControl("help", &answer) == 0) {
        Say(StrovsimText::kAlreadyRunning, platform::RootDir().c_str());
        return kExitFailed;
    }
    WorldModel world;
    const std::string stateFile = StrovsimCli::StateFile();
    if (!recovery.empty()) {
        if (!RecoveryScenario::Build(recovery, &world)) {
            Say(StrovsimText::kBadOption, recovery.c_str());
            return kExitBadArgument;
        }
    } else if (!scenario.empty()) {
        if (!LoadWorld(scenario, &world, StrovsimText::kScenarioBad))
            return kExitBadArgument;
    } else {
        std::string text;
        int rc = platform::ReadWholeFile(stateFile, &text);
        if (rc == ENOENT) {
            world = DefaultScenario::Build();
        } else if (!LoadWorld(stateFile, &world, StrovsimText::kStateUnreadable)) {
            return kExitBadArgument;
        }
    }
    if (scaleGiven)
        world.timeScale = scale;
    int rc = platform::MakeDirs(platform::RootPath("sim"));
    if (rc != 0) {
        Say(StrovsimText::kStartFailed, platform::RootPath("sim").c_str(), std::strerror(rc));
        return kExitFailed;
    }
    int ready[2] = {-1, -1};
    if (daemon) {
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return kExitFailed;
        pid_t pid = ::fork();
        if (pid < 0)
            return kExitFailed;
        if (pid > 0) {
            ::close(ready[1]);
            char ok = 0;
            ssize_t n = ::read(ready[0], &ok, 1);
            ::close(ready[0]);
            return n == 1 && ok == 1 ? kExitOk : kExitFailed;
        }
        ::close(ready[0]);
        ::setsid();
        int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::close(null);
        }
    }
    auto sim = std::make_shared<Simulator>(std::move(world), stateFile);
    rc = sim->Save();
    SimServer server(sim);
    std::string what;
    if (rc == 0)
        rc = server.Start(&what);
    else
        what = stateFile;
    if (rc != 0) {
        Say(StrovsimText::kStartFailed, what.c_str(), std::strerror(rc));
        if (daemon) {
            char fail = 0;
            [[maybe_unused]] ssize_t n = ::write(ready[1], &fail, 1);
        }
        return kExitFailed;
    }
    const std::string pid = std::to_string(::getpid()) + "\n";
    platform::WriteFileAtomic(StrovsimCli::PidFile(), pid);
    gServer = &server;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    if (daemon) {
        // Start-up errors went to the caller's error stream; from here on the
        // daemon holds none of the caller's streams open.
        int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (null >= 0) {
            ::dup2(null, 2);
            ::close(null);
        }
        char ok = 1;
        [[maybe_unused]] ssize_t n = ::write(ready[1], &ok, 1);
        ::close(ready[1]);
    } else {
        std::fprintf(stderr, Text(StrovsimText::kServing),
                     static_cast<int>(sim->PathNames(false).size()), platform::RootDir().c_str());
    }
    server.Run();
    gServer = nullptr;
    sim->Save();
    ::unlink(StrovsimCli::PidFile().c_str());
    return kExitOk;
}

int Load(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        Say(StrovsimText::kMissingArgument, "load");
        return kExitBadArgument;
    }
    // Check the file here first, so a bad scenario is reported the same way
    // whether or not a server runs, and nothing is replaced.
    WorldModel world;
    if (!LoadWorld(args[0], &world, StrovsimText::kScenarioBad))
        return kExitBadArgument;
    char* real = ::realpath(args[0].c_str(), nullptr);
    std::string path = real ? real : args[0];
    std::free(real);
    std::string answer;
    if (StrovsimCli::SendControl("load " + path, &answer) == 0) {
        if (answer.rfind("OK", 0) != 0) {
            Say(StrovsimText::kRefused, answer.c_str());
            return kExitBadArgument;
        }
        Say(StrovsimText::kLoaded, path.c_str());
        return kExitOk;
    }
    int rc = platform::MakeDirs(platform::RootPath("sim"));
    if (rc == 0) {
        rc = platform::WriteFileAtomic(StrovsimCli::StateFile(),
                                       ModelJson::ToJson(world).dump(1) + "\n");
    }
    if (rc != 0) {
        Say(StrovsimText::kWriteFailed, StrovsimCli::StateFile().c_str(), std::strerror(rc));
        return kExitFailed;
    }
    Say(StrovsimText::kLoadedOffline, path.c_str());
    return kExitOk;
}

int Stop() {
    std::string pidText;
    platform::ReadWholeFile(StrovsimCli::PidFile(), &pidText);
    const int pid = std::atoi(pidText.c_str());
    std::string answer;
    if (StrovsimCli::SendControl("stop", &answer) != 0) {
        Say(StrovsimText::kNotRunning, platform::RootDir().c_str());
        return kExitFailed;
    }
    // Wait for the server to close its sockets and leave. Its last act is to
    // remove the pid file: a server run in the foreground by another program
    // stays a process (unreaped) after it has ended, so the file tells.
    for (int i = 0; i < 200; ++i) {
        std::string now;
        const bool released = platform::ReadWholeFile(StrovsimCli::PidFile(), &now) != 0 ||
                              std::atoi(now.c_str()) != pid;
        bool gone = pid > 0 ? (released || (::kill(pid, 0) != 0 && errno == ESRCH))
                            : StrovsimCli::SendControl("help", &answer) != 0;
        if (gone)
            return kExitOk;
        platform::SleepMs(50);
    }
    std::fprintf(stderr, Text(StrovsimText::kStopTimeout), pid);
    return kExitFailed;
}

int Forward(const std::string& verb, const std::vector<std::string>& args) {
    std::string line = verb;
    for (const auto& a : args) {
        if (a.find_first_of("\n\r") != std::string::npos) {
            Say(StrovsimText::kBadOption, a.c_str());
            return kExitBadArgument;
        }
        line += " " + a;
    }
    std::string answer;
    if (StrovsimCli::SendControl(line, &answer) != 0) {
        if (verb == "show") {
            // Without a server, show what the next one will start with.
            WorldModel world;
            std::string text;
            if (platform::ReadWholeFile(StrovsimCli::StateFile(), &text) != 0) {
                Say(StrovsimText::kNotRunning, platform::RootDir().c_str());
                return kExitFailed;
            }
            if (!LoadWorld(StrovsimCli::StateFile(), &world, StrovsimText::kStateUnreadable)) {
                return kExitFailed;
            }
            Simulator offline(std::move(world), "");
            offline.Control("show", &answer);
            std::fputs(answer.c_str(), stdout);
            return kExitOk;
        }
        Say(StrovsimText::kNotRunning, platform::RootDir().c_str());
        return kExitFailed;
    }
    if (answer.rfind("OK\n", 0) != 0) {
        std::string why = answer.rfind("ERROR ", 0) == 0 ? answer.substr(6) : answer;
        while (!why.empty() && why.back() == '\n')
            why.pop_back();
        Say(StrovsimText::kRefused, why.c_str());
        return kExitBadArgument;
    }
    std::fputs(answer.c_str() + 3, stdout);
    return kExitOk;
}

}  // namespace

std::string StrovsimCli::StateFile() {
    return platform::RootPath("sim/state.json");
}
std::string StrovsimCli::PidFile() {
    return platform::RootPath("sim/strovsim.pid");
}

int StrovsimCli::SendControl(const std::string& line, std::string* answer) {
    answer->clear();
    const std::string path = SimServer::ControlPath();
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path)
        return ENAMETOOLONG;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int e = errno;
        ::close(fd);
        return e;
    }
    const std::string request = line + "\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size())) {
        int e = errno;
        ::close(fd);
        return e;
    }
    char buf[4096];
    const std::uint64_t deadline = platform::MonotonicMs() + 30000;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const std::uint64_t now = platform::MonotonicMs();
        if (now >= deadline || ::poll(&p, 1, static_cast<int>(deadline - now)) <= 0) {
            ::close(fd);
            return ETIMEDOUT;
        }
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        answer->append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (answer->empty())
        return ECONNRESET;
    return 0;
}

int StrovsimCli::Run(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(Text(StrovsimText::kUsage), stderr);
        return kExitBadArgument;
    }
    const std::string verb = argv[1];
    std::vector<std::string> args(argv + 2, argv + argc);
    if (verb == "--help" || verb == "-h" || verb == "help") {
        std::fputs(Text(StrovsimText::kUsage), stdout);
        return kExitOk;
    }
    if (verb == "serve")
        return Serve(args);
    if (verb == "load")
        return Load(args);
    if (verb == "stop") {
        if (!args.empty()) {
            Say(StrovsimText::kBadOption, args[0].c_str());
            return kExitBadArgument;
        }
        return Stop();
    }
    for (const auto& v : kControlVerbs) {
        if (verb != v.name)
            continue;
        const int n = static_cast<int>(args.size());
        if (n < v.minArgs || n > v.maxArgs) {
            Say(StrovsimText::kMissingArgument, v.name);
            return kExitBadArgument;
        }
        return Forward(verb, args);
    }
    Say(StrovsimText::kUnknownCommand, verb.c_str());
    return kExitBadArgument;
}

}  // namespace sim
