// The CIM credentials file ("user:crypt-hash" lines): hashing, the change
// of one user's line and the atomic replacement of the file.
#ifndef TAVRELCTL_CTL_PASSWD_H
#define TAVRELCTL_CTL_PASSWD_H

#include <string>

// The crypt(3) hash of password: yescrypt, or SHA-512 crypt where libcrypt
// has no yescrypt. Empty when hashing fails.
std::string ctlHashPassword(const std::string& password);

// The file's text with user's line replaced by hash (added when absent), or
// removed when hash is empty; found tells whether the user had a line.
std::string ctlChangeCredentials(const std::string& text, const std::string& user, const std::string& hash,
                                 bool* found);

// Replaces path with text: a temporary file in the same directory, mode
// 0600, owner root, flushed and renamed over it. "" or why it failed.
std::string ctlReplaceCredentialsFile(const std::string& path, const std::string& text);

// Reads a password from the terminal without echo (prompt on it); false
// when there is no terminal.
bool ctlReadPasswordFromTerminal(const std::string& prompt, std::string& password);

#endif
