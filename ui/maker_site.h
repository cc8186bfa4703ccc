#pragma once
// The maker's web site, opened by the About box's link and the web-link commands.
inline constexpr wchar_t kMakerSite[] = L"https://www.velmora.example/";
inline constexpr wchar_t kMakerProductPage[] = L"https://www.velmora.example/product/Pelgrane.html";
inline constexpr wchar_t kMakerContactPage[] = L"https://www.velmora.example/contact.html";
