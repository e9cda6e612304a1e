#include "platform/forms.h"

#include <algorithm>

namespace platform {

std::vector<const Control*> in_tab_order(const FormDescription& form) {
    std::vector<const Control*> controls;
    for (const Control& control : form.controls) {
        controls.push_back(&control);
    }
    std::stable_sort(controls.begin(), controls.end(), [](const Control* a, const Control* b) {
        return a->tab_index < b->tab_index;
    });
    return controls;
}

}  // namespace platform
