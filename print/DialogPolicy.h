#pragma once

// False where nobody can answer a modal box (the offscreen and minimal platforms of tests and
// headless runs): code that would show one then takes its default answer instead of blocking.
bool ModalBoxesCanBeAnswered();
