#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One lobby as the lobby window shows it.
struct MatchListing {
    std::string id;
    std::string name;
    std::string ipAddress;
    std::int32_t port = 0;
    std::string map;
    std::int32_t playerCount = 0;        // never below 0
    std::int32_t secondsSinceUpdate = 0; // never below 0
    std::string unjoinable; // why "Connect" refuses the lobby (its port); empty when it can be joined
};

// Published whole and never changed afterwards, so a reader copies only the pointer.
using MatchListings = std::shared_ptr<const std::vector<MatchListing>>;
