// Whether the controllers that answer to one array id belong to one cabinet.
// The offline tools (download, dksalvage) find an array by the id its
// controllers report; an id that two cabinets report names neither.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Each controller as its unit serial page names it: {serial, partner's
// serial}, as the page holds them (trailing blanks are not compared). The controllers are one
// cabinet's when they are at most two distinct ones (a controller seen on two paths counts once),
// and two only when either names the other as its partner.
bool ControllersOfOneCabinet(const std::vector<std::pair<std::string, std::string>>& controllers);
