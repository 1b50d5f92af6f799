#pragma once

#include <vector>

#include "platform/menu_layout.h"

// The program's menus, accelerators, toolbar and status-bar prompts, as data.

// Shown while no child window is open.
MenuLayout mainFrameMenu();
// Shared by the galaxy, information and star-list windows.
MenuLayout childWindowMenu();
std::vector<Accelerator> acceleratorTable();
std::vector<ToolButton> toolBarButtons();
std::vector<CommandPrompt> commandPrompts();
