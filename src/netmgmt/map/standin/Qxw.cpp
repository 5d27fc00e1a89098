#include "netmgmt/map/standin/Qxw.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <tuple>

#include "netmgmt/map/standin/AppLoop.h"
#include "netmgmt/map/standin/QxwControl.h"
#include "netmgmt/map/standin/QxwDatabase.h"
#include "netmgmt/map/standin/QxwStandIn.h"
#include "netmgmt/map/standin/StandInTexts.h"
#include "platform/FileUtil.h"
#include "platform/Root.h"
#include "platform/Trace.h"

namespace qxw {

namespace {

// A start database larger than this is refused unread.
constexpr off_t kMaxDatabaseBytes = 64 << 20;
// An event from the control lines is waiting: deliver the first one.
constexpr unsigned kDeliverEvent = qxapp::WM_USER + 2;

class EventWindow : public qxapp::Window {
  public:
    void WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
};

struct State {
    bool initialised = false;
    int error = QXW_OK;
    Database db;
    std::string dumpPath;
    std::string controlPath;
    int controlFd = -1;
    qxapp::AppLoop::SourceId controlSource = 0;
    std::string controlLine;
    bool discarding = false;
    std::unique_ptr<EventWindow> window;
    std::deque<ControlCommand> pending;
    std::vector<std::tuple<int, QXwCallback, void*>> callbacks;
    int syncDepth = 0;
    std::uint32_t nextCloseToken = 1;
    std::uint32_t awaitedClose = 0;
    std::vector<std::string> journal;
    bool dumpFailureTold = false;
};

State& S() {
    static State state;
    return state;
}

void Say(StandInText id, const char* a = "", const char* b = "") {
    std::fprintf(stderr, Text(id), a, b);
}

std::string PathFromEnvironment(const char* variable, const char* underRoot) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : platform::RootPath(underRoot);
}

std::string Directory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

void WriteDump() {
    State& s = S();
    if (s.dumpPath.empty()) {
        return;
    }
    int rc = platform::MakeDirs(Directory(s.dumpPath));
    if (rc == 0) {
        rc = platform::WriteFileAtomic(s.dumpPath, s.db.Dump());
    }
    if (rc != 0 && !s.dumpFailureTold) {
        s.dumpFailureTold = true;
        Say(StandInText::kDumpFailed, s.dumpPath.c_str(), std::strerror(rc));
    }
}

// A change of the map: written at once outside a sync bracket.
void Changed(std::string journalLine) {
    State& s = S();
    s.journal.push_back(std::move(journalLine));
    if (s.syncDepth == 0) {
        WriteDump();
    }
}

int Fail(int error) {
    S().error = error;
    return -1;
}

bool Connected() {
    if (!S().initialised) {
        S().error = QXW_NOT_INITIALISED;
        return false;
    }
    S().error = QXW_OK;
    return true;
}

// The map argument names the open map.
bool Usable(const QXwMapInfo* map) {
    if (!Connected()) {
        return false;
    }
    State& s = S();
    if (map == nullptr || !s.db.mapOpen || map->name != s.db.mapName) {
        s.error = QXW_NO_MAP;
        return false;
    }
    return true;
}

void OnControlReadable() {
    State& s = S();
    char bytes[4096];
    for (;;) {
        const ssize_t n = ::read(s.controlFd, bytes, sizeof bytes);
        if (n <= 0) {
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[i] == '\n') {
                if (!s.discarding) {
                    const std::string line = std::move(s.controlLine);
                    const std::string why = Control(line);
                    if (!why.empty()) {
                        Say(StandInText::kControlRefused, line.c_str(), why.c_str());
                    }
                }
                s.controlLine.clear();
                s.discarding = false;
            } else if (s.discarding) {
                continue;
            } else if (s.controlLine.size() >= kMaxControlLine) {
                s.discarding = true;
                s.controlLine.clear();
                std::fprintf(stderr, Text(StandInText::kControlTooLong),
                             static_cast<int>(kMaxControlLine));
            } else {
                s.controlLine += bytes[i];
            }
        }
    }
}

bool OpenControl() {
    State& s = S();
    struct stat info {};
    if (::stat(s.controlPath.c_str(), &info) != 0) {
        int rc = platform::MakeDirs(Directory(s.controlPath));
        if (rc != 0 || ::mkfifo(s.controlPath.c_str(), 0600) != 0) {
            Say(StandInText::kControlUnusable, s.controlPath.c_str(),
                std::strerror(rc != 0 ? rc : errno));
            return false;
        }
    } else if (!S_ISFIFO(info.st_mode)) {
        Say(StandInText::kControlUnusable, s.controlPath.c_str(), std::strerror(EEXIST));
        return false;
    }
    // Read and write: the FIFO never reads as ended while no writer has it open.
    s.controlFd = ::open(s.controlPath.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (s.controlFd < 0) {
        Say(StandInText::kControlUnusable, s.controlPath.c_str(), std::strerror(errno));
        return false;
    }
    s.controlSource = qxapp::AppLoop::Current()->AddSource(s.controlFd, OnControlReadable);
    return true;
}

bool LoadDatabase(const std::string& path) {
    State& s = S();
    struct stat info {};
    std::string text;
    int rc = ::stat(path.c_str(), &info) != 0   ? errno
             : info.st_size > kMaxDatabaseBytes ? EFBIG
                                                : 0;
    if (rc == 0) {
        rc = platform::ReadWholeFile(path, &text);
    }
    if (rc != 0) {
        Say(StandInText::kDatabaseUnreadable, path.c_str(), std::strerror(rc));
        return false;
    }
    const std::string why = s.db.Load(text);
    if (!why.empty()) {
        Say(StandInText::kDatabaseDamaged, path.c_str(), why.c_str());
        return false;
    }
    return true;
}

void Disconnect() {
    State& s = S();
    if (s.controlSource != 0 && qxapp::AppLoop::Current() != nullptr) {
        qxapp::AppLoop::Current()->RemoveSource(s.controlSource);
    }
    s.controlSource = 0;
    if (s.controlFd >= 0) {
        ::close(s.controlFd);
        s.controlFd = -1;
    }
    s.window.reset();
    s.pending.clear();
    s.callbacks.clear();
    s.controlLine.clear();
    s.discarding = false;
    s.syncDepth = 0;
    s.initialised = false;
}

void Deliver() {
    State& s = S();
    if (s.pending.empty()) {
        return;
    }
    const ControlCommand command = std::move(s.pending.front());
    s.pending.pop_front();
    QXwMapInfo map{s.db.mapName};
    QXwEvent event;
    event.number = command.event;
    event.objects = command.hasObjects ? &command.objects : nullptr;
    event.changes = command.hasChanges ? &command.changes : nullptr;
    bool handled = false;
    for (const auto& [number, handler, data] : s.callbacks) {
        handled = handled || number == command.event;
    }
    switch (command.event) {
        case QXW_EVENT_MAP_OPEN:
            if (!command.mapName.empty()) {
                s.db.mapName = command.mapName;
            }
            s.db.mapOpen = true;
            map.name = s.db.mapName;
            event.map = &map;
            Changed("MapOpen " + map.name);
            break;
        case QXW_EVENT_MAP_CLOSE:
            event.map = &map;
            event.closeToken = s.awaitedClose = s.nextCloseToken++;
            if (!handled) {
                s.db.mapOpen = false;  // nobody to wait for
                Changed("MapClosed");
            }
            break;
        case QXW_EVENT_OBJECTS_DELETED:
            for (const QXwObjectRecord& r : command.objects.objects) {
                if (r.scope == QXW_DELETED_FROM_MAP) {
                    s.db.DeleteSymbolsOf(r.objectId);
                } else {
                    s.db.DeleteObject(r.objectId);
                }
            }
            if (command.hasObjects) {
                Changed("ObjectsDeleted");
            }
            break;
        default:
            break;
    }
    // A copy: a handler may register further callbacks.
    const auto callbacks = s.callbacks;
    for (const auto& [number, handler, data] : callbacks) {
        if (number == command.event && S().initialised) {
            handler(data, event);
        }
    }
}

void EventWindow::WindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (message == kDeliverEvent) {
        Deliver();
    } else {
        Window::WindowProc(message, wParam, lParam);
    }
}

}  // namespace

std::string Control(const std::string& line) {
    State& s = S();
    ControlCommand command;
    std::string why = ParseControl(line, &command);
    if (!why.empty() || command.kind == ControlCommand::Kind::kNone) {
        return why;
    }
    qxapp::AppLoop* loop = qxapp::AppLoop::Current();
    if (!s.initialised || loop == nullptr) {
        return Text(StandInText::kErrorNotInitialised);
    }
    if (command.kind == ControlCommand::Kind::kQuit) {
        loop->PostQuitMessage(0);
        return "";
    }
    s.pending.push_back(std::move(command));
    loop->PostMessage(s.window->Handle(), kDeliverEvent);
    return "";
}

std::string DumpText() {
    return S().initialised ? S().db.Dump() : "";
}

const std::vector<std::string>& Journal() {
    return S().journal;
}

void ClearJournal() {
    S().journal.clear();
}

}  // namespace qxw

using qxw::Changed;
using qxw::Connected;
using qxw::Fail;
using qxw::S;
using qxw::Usable;

int _QXwInit(int version) {
    qxw::State& s = S();
    if (s.initialised) {
        return 0;
    }
    s.error = QXW_NOT_INITIALISED;
    if (version < 1 || version > 5) {
        s.error = QXW_BAD_ARGUMENT;
        return -1;
    }
    if (qxapp::AppLoop::Current() == nullptr) {
        qxw::Say(qxw::StandInText::kNoLoop);
        return -1;
    }
    s.journal.clear();
    s.dumpFailureTold = false;
    s.dumpPath = qxw::PathFromEnvironment("ORU_MAP_DUMP", "map/dump.json");
    s.controlPath = qxw::PathFromEnvironment("ORU_MAP_CONTROL", "map/control");
    if (!qxw::LoadDatabase(qxw::PathFromEnvironment("ORU_MAP_DATABASE", "map/database.json")) ||
        !qxw::OpenControl()) {
        qxw::Disconnect();
        return -1;
    }
    s.window = std::make_unique<qxw::EventWindow>();
    s.awaitedClose = 0;
    s.initialised = true;
    s.error = QXW_OK;
    return 0;
}

void QXwDone() {
    if (!S().initialised) {
        return;
    }
    qxw::WriteDump();
    qxw::Disconnect();
}

int QXwError() {
    return S().error;
}

const char* QXwErrorMsg(int error) {
    using qxw::StandInText;
    static const std::pair<int, StandInText> kErrors[] = {
        {QXW_OK, StandInText::kErrorNone},
        {QXW_NOT_INITIALISED, StandInText::kErrorNotInitialised},
        {QXW_NO_MAP, StandInText::kErrorNoMap},
        {QXW_NO_SUCH_OBJECT, StandInText::kErrorNoSuchObject},
        {QXW_NO_SUCH_SUBMAP, StandInText::kErrorNoSuchSubmap},
        {QXW_NO_SUCH_SYMBOL, StandInText::kErrorNoSuchSymbol},
        {QXW_NO_SUCH_FIELD, StandInText::kErrorNoSuchField},
        {QXW_BAD_ARGUMENT, StandInText::kErrorBadArgument},
        {QXW_SUBMAP_EXISTS, StandInText::kErrorSubmapExists},
        {QXW_OBJECT_EXISTS, StandInText::kErrorObjectExists},
    };
    for (const auto& [number, text] : kErrors) {
        if (number == error) {
            return qxw::Text(text);
        }
    }
    return qxw::Text(StandInText::kErrorUnknown);
}

const char* QXwGetAppName() {
    return program_invocation_short_name;
}

QXwMapInfo* QXwGetMapInfo() {
    if (!Connected()) {
        return nullptr;
    }
    if (!S().db.mapOpen) {
        S().error = QXW_NO_MAP;
        return nullptr;
    }
    return new QXwMapInfo{S().db.mapName};
}

QXwMapInfo* QXwCopyMapInfo(const QXwMapInfo* map) {
    return map == nullptr ? nullptr : new QXwMapInfo(*map);
}

void QXwFreeMapInfo(QXwMapInfo* map) {
    delete map;
}

int QXwAddCallback(int event, int, QXwCallback handler, void* data) {
    if (!Connected()) {
        return -1;
    }
    if (handler == nullptr) {
        return Fail(QXW_BAD_ARGUMENT);
    }
    S().callbacks.emplace_back(event, handler, data);
    return 0;
}

int QXwAckMapClose(const QXwMapInfo* map, std::uint32_t closeToken) {
    if (!Connected()) {
        return -1;
    }
    qxw::State& s = S();
    if (map == nullptr || closeToken == 0 || closeToken != s.awaitedClose) {
        return Fail(QXW_BAD_ARGUMENT);
    }
    s.awaitedClose = 0;
    s.db.mapOpen = false;
    Changed("AckMapClose " + std::to_string(closeToken));
    return 0;
}

int QXwBeginMapSync(const QXwMapInfo* map) {
    if (!Usable(map)) {
        return -1;
    }
    ++S().syncDepth;
    return 0;
}

int QXwEndMapSync(const QXwMapInfo*) {
    if (!Connected()) {
        return -1;
    }
    qxw::State& s = S();
    if (s.syncDepth == 0) {
        return Fail(QXW_BAD_ARGUMENT);
    }
    if (--s.syncDepth == 0) {
        qxw::WriteDump();
    }
    return 0;
}

QXwId QXwDbFieldNameToFieldId(const std::string& fieldName) {
    if (!Connected()) {
        return 0;
    }
    const QXwId id = S().db.FieldId(fieldName);
    if (id == 0) {
        S().error = QXW_NO_SUCH_FIELD;
    }
    return id;
}

QXwObjectList* QXwListObjectsOnMap(const QXwMapInfo* map, const QXwFieldBinding& filter) {
    if (!Usable(map)) {
        return nullptr;
    }
    qxw::State& s = S();
    const std::string* field = s.db.FieldName(filter.fieldId);
    if (field == nullptr) {
        s.error = QXW_NO_SUCH_FIELD;
        return nullptr;
    }
    if (filter.value.type != QXW_FIELD_BOOLEAN) {
        s.error = QXW_BAD_ARGUMENT;
        return nullptr;
    }
    auto* list = new QXwObjectList;
    for (const auto& [id, object] : s.db.Objects()) {
        auto f = object.fields.find(*field);
        const bool value = f != object.fields.end() && f->second;
        bool shown = false;
        for (const auto& [symbolId, symbol] : s.db.Symbols()) {
            shown = shown || symbol.object == id;
        }
        if (value != (filter.value.number != 0)) {
            continue;
        }
        if (shown) {
            list->objects.push_back(QXwObjectRecord{id, 0});
        } else {
            // Only what the map shows is on it: an object of the start
            // database without a symbol is not listed.
            platform::Trace("qxw: object %u (%s) has no symbol on the map and is not listed\n",
                            static_cast<unsigned>(id), object.hostName.c_str());
        }
    }
    return list;
}

void QXwFreeObjectList(QXwObjectList* list) {
    delete list;
}

std::string QXwDbObjectIdToHostname(QXwId object) {
    if (!Connected()) {
        return "";
    }
    const qxw::Object* o = S().db.FindObject(object);
    if (o == nullptr) {
        S().error = QXW_NO_SUCH_OBJECT;
        return "";
    }
    return o->hostName;
}

QXwId QXwDbHostnameToObjectId(const std::string& hostName) {
    if (!Connected()) {
        return 0;
    }
    const qxw::Object* o = hostName.empty() ? nullptr : S().db.FindHost(hostName);
    if (o == nullptr) {
        S().error = QXW_NO_SUCH_OBJECT;
        return 0;
    }
    return o->id;
}

QXwId QXwDbCreateObjectBySelectionName(const std::string& selectionName) {
    if (!Connected()) {
        return 0;
    }
    qxw::State& s = S();
    if (selectionName.empty()) {
        s.error = QXW_BAD_ARGUMENT;
        return 0;
    }
    if (s.db.FindSelection(selectionName) != nullptr) {
        s.error = QXW_OBJECT_EXISTS;
        return 0;
    }
    const QXwId id = s.db.AddObject(selectionName);
    if (id == 0) {
        s.error = QXW_BAD_ARGUMENT;
        return 0;
    }
    Changed("CreateObject " + std::to_string(id) + " " + selectionName);
    return id;
}

QXwId QXwDbSelectionNameToObjectId(const std::string& selectionName) {
    if (!Connected()) {
        return 0;
    }
    const qxw::Object* o = S().db.FindSelection(selectionName);
    if (o == nullptr) {
        S().error = QXW_NO_SUCH_OBJECT;
        return 0;
    }
    return o->id;
}

bool QXwIsIdNull(QXwId id) {
    return id == 0;
}

int QXwDbDeleteObject(QXwId object) {
    if (!Connected()) {
        return -1;
    }
    if (S().db.FindObject(object) == nullptr) {
        return Fail(QXW_NO_SUCH_OBJECT);
    }
    S().db.DeleteObject(object);
    Changed("DeleteObject " + std::to_string(object));
    return 0;
}

QXwObjectInfo* QXwGetObjectInfo(const QXwMapInfo* map, QXwId object) {
    if (!Usable(map)) {
        return nullptr;
    }
    const qxw::Object* o = S().db.FindObject(object);
    if (o == nullptr) {
        S().error = QXW_NO_SUCH_OBJECT;
        return nullptr;
    }
    auto* info = new QXwObjectInfo;
    info->objectId = o->id;
    info->childSubmapId = o->childSubmap;
    info->status = o->status;
    for (const auto& [id, symbol] : S().db.Symbols()) {
        info->symbolCount += symbol.object == object ? 1 : 0;
    }
    auto f = o->fields.find("isComputer");
    info->isComputer = f != o->fields.end() && f->second ? 1 : 0;
    return info;
}

void QXwFreeObjectInfo(QXwObjectInfo* info) {
    delete info;
}

int QXwSetStatusOnObject(const QXwMapInfo* map, QXwId object, std::int32_t status) {
    if (!Usable(map)) {
        return -1;
    }
    qxw::Object* o = S().db.FindObject(object);
    if (o == nullptr) {
        return Fail(QXW_NO_SUCH_OBJECT);
    }
    o->status = status;
    Changed("SetStatus " + std::to_string(object) + " " + std::to_string(status));
    return 0;
}

QXwId QXwCreateSubmap(const QXwMapInfo* map, QXwId parentObject, int, int, const std::string& name,
                      int, int) {
    if (!Usable(map)) {
        return 0;
    }
    qxw::State& s = S();
    const qxw::Object* parent = s.db.FindObject(parentObject);
    if (parent == nullptr) {
        s.error = QXW_NO_SUCH_OBJECT;
        return 0;
    }
    if (parent->childSubmap != 0) {
        s.error = QXW_SUBMAP_EXISTS;
        return 0;
    }
    const QXwId id = s.db.AddSubmap(parentObject, name, QXwGetAppName());
    if (id == 0) {
        s.error = QXW_BAD_ARGUMENT;
        return 0;
    }
    Changed("CreateSubmap " + std::to_string(id) + " " + std::to_string(parentObject));
    return id;
}

QXwSubmapInfo* QXwGetSubmapInfo(const QXwMapInfo* map, QXwId submap) {
    if (!Usable(map)) {
        return nullptr;
    }
    const qxw::Submap* s = S().db.FindSubmap(submap);
    if (s == nullptr) {
        S().error = QXW_NO_SUCH_SUBMAP;
        return nullptr;
    }
    return new QXwSubmapInfo{s->id, s->parentObject, s->name, s->appName};
}

void QXwFreeSubmapInfo(QXwSubmapInfo* info) {
    delete info;
}

int QXwDeleteSubmap(const QXwMapInfo* map, QXwId submap) {
    if (!Usable(map)) {
        return -1;
    }
    if (S().db.FindSubmap(submap) == nullptr) {
        return Fail(QXW_NO_SUCH_SUBMAP);
    }
    S().db.DeleteSubmap(submap);
    Changed("DeleteSubmap " + std::to_string(submap));
    return 0;
}

QXwId QXwCreateSymbol(const QXwMapInfo* map, QXwId submap, QXwId object,
                      const std::string& symbolType, const std::string& label, int statusSource,
                      int, int, int) {
    if (!Usable(map)) {
        return 0;
    }
    qxw::State& s = S();
    if (s.db.FindSubmap(submap) == nullptr || s.db.FindObject(object) == nullptr) {
        s.error = s.db.FindSubmap(submap) == nullptr ? QXW_NO_SUCH_SUBMAP : QXW_NO_SUCH_OBJECT;
        return 0;
    }
    qxw::Symbol symbol;
    symbol.submap = submap;
    symbol.object = object;
    symbol.type = symbolType;
    symbol.label = label;
    symbol.appName = QXwGetAppName();
    symbol.statusSource = statusSource;
    const QXwId id = s.db.AddSymbol(symbol);
    if (id == 0) {
        s.error = QXW_BAD_ARGUMENT;
        return 0;
    }
    Changed("CreateSymbol " + std::to_string(id) + " " + std::to_string(submap) + " " +
            std::to_string(object));
    return id;
}

int QXwSetSymbolBehavior(const QXwMapInfo* map, QXwId symbol, int behavior,
                         const std::string& appName, const std::string& action,
                         const QXwObjectList& objects) {
    if (!Usable(map)) {
        return -1;
    }
    qxw::Symbol* s = S().db.FindSymbol(symbol);
    if (s == nullptr) {
        return Fail(QXW_NO_SUCH_SYMBOL);
    }
    qxw::Behavior b{behavior, appName, action, {}};
    for (const QXwObjectRecord& r : objects.objects) {
        b.objects.push_back(r.objectId);
    }
    s->behavior = b;
    Changed("SetBehavior " + std::to_string(symbol));
    return 0;
}

int QXwDeleteSymbol(const QXwMapInfo* map, QXwId symbol) {
    if (!Usable(map)) {
        return -1;
    }
    if (S().db.FindSymbol(symbol) == nullptr) {
        return Fail(QXW_NO_SUCH_SYMBOL);
    }
    S().db.DeleteSymbol(symbol);
    Changed("DeleteSymbol " + std::to_string(symbol));
    return 0;
}

QXwSymbolList* QXwListSymbols(const QXwMapInfo* map, QXwId submap, int which,
                              const std::string& appName) {
    if (!Usable(map)) {
        return nullptr;
    }
    if (S().db.FindSubmap(submap) == nullptr) {
        S().error = QXW_NO_SUCH_SUBMAP;
        return nullptr;
    }
    if (which != QXW_SYMBOLS_OF_APPLICATION) {
        S().error = QXW_BAD_ARGUMENT;
        return nullptr;
    }
    auto* list = new QXwSymbolList;
    for (const auto& [id, symbol] : S().db.Symbols()) {
        if (symbol.submap == submap && symbol.appName == appName) {
            list->symbols.push_back(QXwSymbolRecord{id, submap, symbol.object});
        }
    }
    return list;
}

void QXwFreeSymbolList(QXwSymbolList* list) {
    delete list;
}
