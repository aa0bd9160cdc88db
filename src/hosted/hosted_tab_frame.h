#pragma once
// What the Kestrel and RLBot Host tabs draw alike: the location combo, the "Server Details"
// popup and the sub-tab frame with "Server Controls".
#include <cstdint>

#include "hosted/hosting_lists.h"
#include "hosted/request_state.h"

class matchbay;

namespace hosted {

// Combo "##ServerSelection" over the locations, "No Servers Available" while none are known.
void ServerSelectionCombo(const ServerList& servers, std::int32_t& selectedServer);

// Begins the sub-tab bar once a server was obtained. Returns whether the tab's main content
// is to be drawn this frame; EndSubTabs closes what BeginSubTabs opened.
class SubTabFrame {
public:
    SubTabFrame(HostedRequestState& state, const char* tabBarId);
    bool MainOpen() const { return mainOpen; }
    // Whether this frame draws the bar, as the state was when the frame began.
    bool Active() const { return active; }
    // Ends "Main", draws "Server Controls" for the server's own location and ends the bar.
    void End(matchbay& plugin);

private:
    HostedRequestState& state;
    bool active = false;
    bool barOpen = false;
    bool mainItemOpen = false;
    bool mainOpen = true;
};

// Opens "Server Details" when the worker asked for it and draws it while open; frame is the
// tab's sub-tab frame of this drawing pass.
void ServerDetailsPopup(matchbay& plugin, HostedRequestState& state, const SubTabFrame& frame);

// Text before a button that is drawn disabled (half alpha, not clickable) when enabled is false.
bool ButtonEnabledIf(const char* label, bool enabled);

} // namespace hosted
