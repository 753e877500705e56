#include "ui/MyPopupMenu.h"

// Menus are not drawn yet: nothing opens and no command is posted.
bool OpenPopupMenu(MyWindowContext* context, std::int32_t menuId, POINT point, MyPopupMenuAlign align) {
    (void)context, (void)menuId, (void)point, (void)align;
    return false;
}
