#include "FormLoad.h"

#include "StatusBar.h"

Failure Form_Load(StatusBar &sbrStatus)
{
    if (!sbrStatus.setPanelText(QStringLiteral("STATUS"), QStringLiteral("inactive")))
        return RuntimeError{ErrorNumber::PanelNotFound, QStringLiteral("The status bar has no panel with the key STATUS.")};
    return {};
}
