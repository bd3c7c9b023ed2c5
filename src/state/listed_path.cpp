#include "state/listed_path.h"

#include "app/form1.h"
#include "platform/message_boxes.h"

namespace tabrook::state {

bool AcceptListedPath(app::Form1& form, const std::string& path) {
    if (path.find_first_of("\r\n") == std::string::npos) {
        return true;
    }
    form.Svc().messageBoxes.Show(&form, "A path that holds a line break cannot be added:\n" + path,
                                 platform::MessageIcon::Critical);
    return false;
}

}  // namespace tabrook::state
