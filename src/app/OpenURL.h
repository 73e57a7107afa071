// OpenURL.h: web pages in the desktop's default browser, and the two addresses the program links to.
// GUI thread only.
#pragma once

#include <functional>
#include <string>

// The maker's home page and the partner's page, both chosen when the build is configured.
std::string HomepageURL();
std::string PartnerURL();

// Shows address in the desktop's default browser, the address its only argument. Never reports anything:
// an empty or malformed address, no browser, a launch that fails or throws all simply do nothing.
void OpenURL(const std::string& address);

// What OpenURL hands the address to; answers whether a browser was started. Tests put a recorder here so
// that no browser starts. An empty launcher stands for the desktop's own.
using TURLLauncher = std::function<bool(const std::string& address)>;
TURLLauncher SetURLLauncher(TURLLauncher launcher); // returns the one it replaces (empty: the desktop's)
