#include "console/browse_list.h"

#include "driver/session_settings.h"

BrowseChoice browseChoice;

void browseList(int16_t, int16_t& result) { result = -1; }
int16_t openBrowseView(BrowseView& view, int16_t list) {
    view = BrowseView{};
    view.list = list;
    return -1;
}
bool browseViewKey(BrowseView&, int16_t) { return false; }
int16_t closeBrowseView(BrowseView&, int16_t) { return -1; }
std::string browseCacheFileName() { return sessionSettings.tempDir + "Browse.tmp"; }
