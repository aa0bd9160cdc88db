// The "Active Server List" window's content: filters, the lobby table and joining.
#include <imgui.h>
#include <imgui_stdlib.h>

#include <string>

#include "lobby/help_marker.h"
#include "lobby/lobby_row_texts.h"
#include "plugin/matchbay.h"

namespace {

// Column boundaries follow the region's width every frame: name and map share what the
// two number columns leave.
void SetLobbyColumns()
{
    const float width = ImGui::GetWindowContentRegionMax().x - ImGui::GetWindowContentRegionMin().x;
    const float shared = width - 150.0f;
    ImGui::SetColumnOffset(1, 0.6f * shared);
    ImGui::SetColumnOffset(2, 0.6f * shared + 0.4f * shared);
    ImGui::SetColumnOffset(3, 0.6f * shared + 0.4f * shared + 60.0f);
    ImGui::SetColumnOffset(4, 0.6f * shared + 0.4f * shared + 100.0f);
}

} // namespace

void matchbay::RenderLobbyBrowser()
{
    ImGui::BeginChild("#", ImVec2(-5, -25), false, ImGuiWindowFlags_None);

    ImGui::SetNextItemWidth(50);
    ImGui::InputText("Name filter", &lobbyNameFilter);
    ImGui::SameLine();
    ImGui::SetNextItemWidth(50);
    ImGui::InputText("map filter", &lobbyMapFilter);
    ImGui::SameLine();
    HelpMarker("Use * for wildcard [add a * at the end of your filter unless you want a exact match]");
    ImGui::SameLine(ImGui::GetWindowWidth() - 60);
    if (ImGui::Button("Refresh")) {
        selectedLobby.Clear();
        ApiGetMatches();
    }

    ImGui::Columns(4, nullptr, true);
    SetLobbyColumns();
    ImGui::TextUnformatted("Name");
    ImGui::NextColumn();
    ImGui::TextUnformatted("Map");
    ImGui::NextColumn();
    ImGui::TextUnformatted("Players");
    ImGui::NextColumn();
    ImGui::TextUnformatted("t");
    ImGui::SameLine();
    HelpMarker("Seconds since last update from host");
    ImGui::NextColumn();
    ImGui::Separator();
    ImGui::Columns(1);

    // An empty id would equal the parent's own id, which ImGui refuses (it asserts on the
    // first click); a hidden label keeps the region unnamed on screen.
    ImGui::BeginChild("##lobbies", ImVec2(0, -35), false, ImGuiWindowFlags_None);
    ImGui::Columns(4, nullptr, true);
    SetLobbyColumns();
    const MatchListings listings = LobbyListingsSnapshot();
    const std::vector<std::size_t>& visible = lobbyFilterCache.Visible(listings, lobbyNameFilter, lobbyMapFilter);
    const std::vector<lobby::LobbyRowTexts>& texts = lobbyRowTextCache.Rows(listings, ownLobbyId);
    // Only the rows in view are drawn; the others cost nothing however long the list is.
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(visible.size()));
    while (clipper.Step()) {
        for (int row = clipper.DisplayStart; row < clipper.DisplayEnd; ++row) {
            const std::size_t index = visible[static_cast<std::size_t>(row)];
            const MatchListing& listing = (*listings)[index];
            const lobby::LobbyRowTexts& text = texts[index];
            // The row's id is its position in the list: names and ids come from anyone who
            // announces a lobby, and may be empty or repeat.
            ImGui::PushID(static_cast<int>(index));
            const bool joinable = listing.unjoinable.empty();
            if (!joinable) ImGui::PushStyleColor(ImGuiCol_Text, ImGui::GetStyleColorVec4(ImGuiCol_TextDisabled));
            if (ImGui::Selectable(text.label.c_str(), selectedLobby.Is(listings, index), ImGuiSelectableFlags_SpanAllColumns))
                selectedLobby.Select(listings, index);
            const bool hovered = ImGui::IsItemHovered();
            ImGui::NextColumn();
            ImGui::TextUnformatted(listing.map.c_str());
            ImGui::NextColumn();
            ImGui::TextUnformatted(text.players.c_str());
            ImGui::NextColumn();
            ImGui::TextUnformatted(text.seconds.c_str());
            ImGui::NextColumn();
            if (!joinable) {
                ImGui::PopStyleColor();
                if (hovered) ImGui::SetTooltip("Not joinable: %s", listing.unjoinable.c_str());
            }
            ImGui::PopID();
        }
    }
    ImGui::EndChild();
    ImGui::Columns(1);

    std::optional<MatchListing> selected = SelectedLobby();
    if (!selected) ImGui::PushStyleVar(ImGuiStyleVar_Alpha, ImGui::GetStyle().Alpha * 0.5f);
    ImGui::SetNextItemWidth(125);
    ImGui::InputText("Password", &lobbyPassword, ImGuiInputTextFlags_Password);
    ImGui::SameLine();
    if (ImGui::Button("Connect") && selected) JoinLobby(*selected);
    ImGui::SameLine();
    ImGui::TextUnformatted("Special Thanks to Brannock for letting me use his code.");
    if (!selected) ImGui::PopStyleVar();

    ImGui::EndChild();
    RenderJoinAddress();
}

std::optional<MatchListing> matchbay::SelectedLobby() const
{
    std::lock_guard<std::mutex> lock(lobbyListingsMutex);
    return selectedLobby.In(lobbyListings);
}
