// Passwords: the rules every password meets, and the default network password.
#pragma once

// The network password that fresh settings carry and "Restore Default" puts back.
extern const char default_network_password[];
