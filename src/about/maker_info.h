#pragma once
// The maker's name and addresses, fixed when the build is configured.

#include <string>

namespace tabrook::about {

// A complete web address with its scheme; the home page entries and the About box's site
// link both open it.
std::string HomePageAddress();
// Shown in the About box; its mail link is "mailto:" followed by the same text.
std::string SupportEmailAddress();
// The web site as the About box shows it: a host name without scheme.
std::string WebSiteHost();
std::string CompanyName();

}  // namespace tabrook::about
