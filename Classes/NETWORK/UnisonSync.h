#pragma once
// Keeps one save file equal on this machine and on a save-data server: asks the server
// for the time of its copy, then downloads it when it is newer or uploads the local file
// when that is newer. Runs to its end (the caller's frame waits), within a time limit,
// unless the game is asked to close meanwhile.
#include <functional>
#include <string>

namespace kestrin {

struct SUnisonOptions {
    // The game's text encoding: the fixed messages are given in it.
    int textEncoding = 0;
    // The whole exchange fails cleanly once this many milliseconds have passed.
    int timeLimitMs = 30000;
    // Asked while the exchange waits for the server: true ends it at once as a failed
    // exchange, so that a request to close the game never waits for a slow server.
    std::function<bool()> closeRequested;
};

// file is relative to the save folder. Empty on success, else a message for the player.
std::string UnisonSync(const std::string& file, const std::string& server, const std::string& appname,
                       const std::string& id, const std::string& pass,
                       const SUnisonOptions& options = SUnisonOptions());

}  // namespace kestrin
