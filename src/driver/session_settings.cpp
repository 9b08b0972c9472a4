#include "driver/session_settings.h"

SessionSettings sessionSettings;

void loadSessionSettings() { sessionSettings = SessionSettings{}; }
