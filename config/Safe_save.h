#pragma once

#include <string>

// The file a name leads to: links are followed, also a link whose target
// does not exist yet (saving then creates that target). A name that leads
// nowhere after many links is returned as reached.
std::string FollowLinks(std::string path);

// Removes `target`.tmp, the temporary file a killed save left beside it,
// once no save holds it and it holds nothing but the beginning of a saved
// file (`saved_start`, the first bytes every saved file of its kind begins
// with): a file of the same name that is no leftover of ours stays.
void RemoveStaleTemporary(const std::string& target, const std::string& saved_start);

// Saves the text under the name so that the old file is never harmed (a
// temporary file renamed over it, or a write in place where a rename would
// lose links or ownership; Safe_save.cpp says which and why). A
// `private_file` is always left with mode 0600, since it may hold a secret;
// otherwise the file keeps its mode, or a new one gets the umask's. False
// when the text could not be saved, with errno saying why.
bool WriteWhole(const std::string& name, const std::string& text, bool private_file = false);
