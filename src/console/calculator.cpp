#include "console/calculator.h"

#include "driver/session_settings.h"

std::string runCalculator() { return {}; }
bool openCalculatorView(CalculatorState& state) {
    state = CalculatorState{};
    return false;
}
bool calculatorViewKey(CalculatorState&, int16_t, std::string& result) {
    result.clear();
    return false;
}
void closeCalculatorView(CalculatorState& state) { state.open = false; }
std::string calculatorFileName() { return sessionSettings.terminalDir + "ZELCALC.TMP"; }
bool loadCalculatorFile(CalculatorState& state) {
    state = CalculatorState{};
    return true;
}
bool saveCalculatorFile(const CalculatorState&) { return true; }
std::string calculatorDisplay(double, bool, int16_t) { return std::string(22, ' '); }
