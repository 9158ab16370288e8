// The addresses of the maker's pages that the control panel's link buttons open, all in one place.
// The Chinese services give their pages numeric ids that we do not have, so those three lead to the
// service's search for the maker's name.
#pragma once

namespace zarvo::makerPages
{
inline constexpr const char* instagram = "https://www.instagram.com/zarvo/";
inline constexpr const char* twitter = "https://twitter.com/zarvo";
inline constexpr const char* facebook = "https://www.facebook.com/zarvo";
inline constexpr const char* bilibili = "https://search.bilibili.com/all?keyword=Zarvo";
inline constexpr const char* xiaohongshu = "https://www.xiaohongshu.com/search_result?keyword=Zarvo";
inline constexpr const char* douyin = "https://www.douyin.com/search/Zarvo";
} // namespace zarvo::makerPages
