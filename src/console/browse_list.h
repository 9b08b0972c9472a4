// Browse lists: a framed window over the records of one data file, one line a
// record in the order of one key, read lazily and cached in tempDir + "Browse.tmp"
// so that scrolling back never reads the data file again. F4 on a field with a
// lookup list opens one (the form driver); what a line shows, where the list starts
// and stops and what a pick does are the module's lookup hooks (form_driver.h).
//
// browseList runs a whole list. The steps it is made of (open, one key, close) are
// separate so that a caller can drive a list key by key and look at the screen in
// between.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "driver/form_file.h"

// The pick of a list without a data file: the record-position field and the text of
// the entry picked.
struct BrowseChoice {
    int32_t browseChoicePosition = 0;
    std::string browseChoiceText;
};
extern BrowseChoice browseChoice;

// Runs lookup list `list`. result 0: a record was picked (for a list with a data
// file it is in the file's record buffer, otherwise in browseChoice); -1: left
// without a pick, or the search panel was left with Esc; anything else: the status
// of lookupStartKey or of reading the picked record again.
void browseList(int16_t list, int16_t& result);

// Working state of one open list.
struct BrowseView {
    int16_t list = 0;
    LookupList box;
    int16_t height = 0;  // lines
    int16_t width = 0;   // columns
    std::FILE* cache = nullptr;
    int32_t cacheEnd = 0;  // bytes in the cache file
    // The current entry: header and text.
    int32_t entryPrevious = 0;
    int32_t entryRecordPosition = 0;
    std::string entryText;
    int32_t currentPosition = 1;    // cache position (from 1) of the current entry
    int32_t readPosition = 1;       // where the next entry is read
    int32_t lastEntryPosition = 0;  // cache position of the entry written last
    int32_t pageTop = 1;
    int32_t nextPageTop = 0;  // 0: the page reaches the end of the list
    int16_t cursorLine = 1;
    int16_t firstColumn = 1;
    int16_t widestOverflow = 0;
    bool haveEntry = false;  // an entry was read: there is something to pick
    bool started = false;
    bool dataEnded = false;
    bool atTop = true;
    bool atEnd = false;
    std::string startKey;
    std::string limit;  // collating form
    bool open = false;
};

// Opens list `list`: the search panel, the start key, the window, the first page.
// 0 when the list is open; otherwise the result of browseList, and nothing is open.
int16_t openBrowseView(BrowseView& view, int16_t list);
// Acts on one key (the six movement keys; the cursor line is shown in the input
// colour afterwards). False when the key closes the list: the caller then calls
// closeBrowseView with that key.
bool browseViewKey(BrowseView& view, int16_t key);
// Picks (Enter), closes the list and, for F4, runs the nested list; the result of
// browseList.
int16_t closeBrowseView(BrowseView& view, int16_t key);
// tempDir + "Browse.tmp".
std::string browseCacheFileName();
