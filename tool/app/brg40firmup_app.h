// CBrg40FirmupApp: the update tool's application object: single-instance guard and the modal
// run of the main dialog.
#ifndef BRG40_APP_BRG40FIRMUP_APP_H
#define BRG40_APP_BRG40FIRMUP_APP_H

#include "app.h"

class CBrg40FirmupApp : public CApp {
public:
    int InitInstance() override;
};

#endif
