#include "terminal/GoToTerminal.h"

#include "terminal/X11WindowActivator.h"

TerminalJump::Result GoToTerminal::go(const std::optional<Vorlix::TerminalContext>& terminal) {
    return TerminalJump(&X11WindowActivator::activate).go(terminal);
}
