#pragma once

#include "packaging/portable/PayloadFooter.h"

#include <cstdint>
#include <string>

// The per-user folder that keeps unpacked runtimes, one folder per payload hash:
// EBOOK_RUNTIME_DIR when set, else $XDG_CACHE_HOME/ebook-runtime, else ~/.cache/ebook-runtime.
// Made with mode 0700 when missing; raises TLauncherError (FolderRefused) when it is a symbolic
// link, belongs to another user or is open to others, or cannot be made.
std::string RuntimesFolder();

// Where that folder is, without making or checking it.
std::string RuntimesFolderPath();

// Refuses, as above, a folder that is not the user's own private one.
void CheckPrivateFolder(const std::string& path);

// The runtime of `hash` in `folder`, unpacked from the program first when it is not there. One
// start unpacks at a time (others wait for it) into a temporary folder renamed into place, so a
// stopped start or a failed write leaves no half runtime under the hash's name.
std::string ProvideRuntime(
    const std::string& folder, const std::string& hash, int programFd, const TPayloadFooter& footer);

// Marks the runtime used now and takes a shared lock on it through a descriptor that stays open
// across exec, so the viewer holds the runtime for as long as it runs. -1 when the runtime is gone
// (another start removed it meanwhile): the caller provides it again.
int HoldRuntime(const std::string& runtime);

// Removes the runtimes of other hashes not used for `days` days and held by no running viewer,
// and what stopped starts left behind long ago. Failures are passed over: this is tidying.
void RemoveUnusedRuntimes(const std::string& folder, const std::string& keptHash, int days);

// Bytes the files under `path` take on disk; 0 when it is missing.
uint64_t FolderDiskUsage(const std::string& path);

// Removes a folder and everything under it, following no links.
void RemoveTree(const std::string& path);
