#include "about/maker_info.h"

// The values come from the build's cache variables of the same names.
#ifndef TABROOK_HOME_PAGE
#error "TABROOK_HOME_PAGE must be defined by the build"
#endif
#ifndef TABROOK_SUPPORT_EMAIL
#error "TABROOK_SUPPORT_EMAIL must be defined by the build"
#endif
#ifndef TABROOK_WEBSITE_HOST
#error "TABROOK_WEBSITE_HOST must be defined by the build"
#endif
#ifndef TABROOK_COMPANY_NAME
#error "TABROOK_COMPANY_NAME must be defined by the build"
#endif

namespace tabrook::about {

std::string HomePageAddress() {
    return TABROOK_HOME_PAGE;
}

std::string SupportEmailAddress() {
    return TABROOK_SUPPORT_EMAIL;
}

std::string WebSiteHost() {
    return TABROOK_WEBSITE_HOST;
}

std::string CompanyName() {
    return TABROOK_COMPANY_NAME;
}

}  // namespace tabrook::about
