#include "netmgmt/map/standin/QxwControl.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace qxw {

namespace {

bool ParseNumber(const std::string& text, bool zeroAllowed, std::uint32_t* value) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (v > UINT32_MAX || (v == 0 && !zeroAllowed)) {
        return false;
    }
    *value = static_cast<std::uint32_t>(v);
    return true;
}

int EventOfVerb(const std::string& verb) {
    static const std::pair<const char*, int> kVerbs[] = {
        {"end", QXW_EVENT_END_APPLICATION},     {"open", QXW_EVENT_MAP_OPEN},
        {"close", QXW_EVENT_MAP_CLOSE},         {"delete", QXW_EVENT_OBJECTS_DELETED},
        {"changed", QXW_EVENT_OBJECTS_CHANGED}, {"manage", QXW_EVENT_MANAGE},
        {"unmanage", QXW_EVENT_UNMANAGE}};
    for (const auto& [name, event] : kVerbs) {
        if (verb == name) {
            return event;
        }
    }
    return 0;
}

}  // namespace

std::string ParseControl(const std::string& line, ControlCommand* command) {
    *command = ControlCommand{};
    auto refuse = [command](std::string why) {
        *command = ControlCommand{};
        return why;
    };
    if (line.size() > kMaxControlLine) {
        return "the line is too long";
    }
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    if (words.empty() || words[0][0] == '#') {
        return "";
    }
    std::size_t next = 1;
    int event = EventOfVerb(words[0]);
    if (words[0] == "quit" && words.size() == 1) {
        command->kind = ControlCommand::Kind::kQuit;
        return "";
    }
    if (words[0] == "event") {
        std::uint32_t number = 0;
        if (words.size() < 2 || !ParseNumber(words[1], false, &number)) {
            return "\"event\" needs an event number";
        }
        event = static_cast<int>(number);
        next = 2;
    }
    command->kind = ControlCommand::Kind::kEvent;
    command->event = event;
    const std::size_t arguments = words.size() - next;
    switch (event) {
        case QXW_EVENT_END_APPLICATION:
        case QXW_EVENT_MAP_CLOSE:
            if (arguments != 0) {
                return refuse("event " + std::to_string(event) + " takes no arguments");
            }
            return "";
        case QXW_EVENT_MAP_OPEN:
            if (arguments > 1) {
                return refuse("event 3 takes at most a map name");
            }
            command->mapName = arguments == 1 ? words[next] : "";
            return "";
        case QXW_EVENT_OBJECTS_DELETED:
        case QXW_EVENT_OBJECTS_CHANGED:
        case QXW_EVENT_MANAGE:
        case QXW_EVENT_UNMANAGE:
            break;
        default:
            return refuse("unknown command \"" + words[0] + (next == 2 ? " " + words[1] : "") +
                          "\"");
    }
    for (std::size_t i = next; i < words.size(); ++i) {
        const std::string& word = words[i];
        const std::size_t colon = word.find(':');
        QXwObjectRecord record;
        if (!ParseNumber(word.substr(0, colon), false, &record.objectId) ||
            (colon != std::string::npos &&
             (event != QXW_EVENT_OBJECTS_DELETED ||
              !ParseNumber(word.substr(colon + 1), true, &record.scope)))) {
            return refuse("bad object id \"" + word + "\"");
        }
        if (event == QXW_EVENT_OBJECTS_CHANGED) {
            command->changes.changes.push_back(QXwChangeRecord{record.objectId});
        } else {
            command->objects.objects.push_back(record);
        }
    }
    command->hasObjects = !command->objects.objects.empty();
    command->hasChanges = !command->changes.changes.empty();
    return "";
}

}  // namespace qxw
