#pragma once
// The rules that take movie data and watch links out of a page text. Pure
// functions of the text: the network lies elsewhere (page_reader.h).
#include <string>
#include <vector>

// The video address of a watch page: `root` + "get_video?video_id=<id>&t=<token>%3d",
// or empty when the page has no token. `title` is set from the title element
// (10 characters past "<title>", up to "</title>") or emptied.
//   id:    11 characters from 13 past the first "\"video_id\""
//   token: 44 characters from 6 past the first "\"t\""
// Both are cut short where the text ends.
std::wstring VideoUrlFromPage(const std::wstring& page, const std::wstring& root,
                              std::wstring& title);

// The watch addresses linked from a page, in order of first appearance: every
// link written as "\"/watch?v=...\"" becomes `root` + its text without the
// leading slash, unless an address already collected contains its id (the 11
// characters after "watch?v=", taken by position even past the closing quote).
// The character after a link's closing quote is skipped. `links` is replaced.
// Cost: linear in the page and the collected addresses.
void WatchLinksFromPage(const std::wstring& page, const std::wstring& root,
                        std::vector<std::wstring>& links);
