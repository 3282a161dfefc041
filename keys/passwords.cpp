#include "keys/passwords.h"

const char default_network_password[] = "WindLark";
