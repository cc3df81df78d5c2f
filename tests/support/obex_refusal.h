#pragma once

// The message a push must end with when the phone answers a request with a response
// code other than the one awaited, by the meaning of the code in OBEX.

#include <string>

inline std::string obexRefusal(unsigned char code) {
    struct Row {
        unsigned char first, second;
        const char* message;
    };
    // Unauthorized and Forbidden; Request Entity Too Large; Unsupported Media Type;
    // Service Unavailable.
    static const Row rows[] = {
        {0xC1, 0xC3, "Reception refusee par le telephone. Acceptez la notification sur Android."},
        {0xCD, 0xCD, "Fichier trop volumineux pour le recepteur Bluetooth Android."},
        {0xCF, 0xCF, "Ce type de fichier est refuse par le recepteur Bluetooth Android."},
        {0xD3, 0xD3, "Recepteur Bluetooth du telephone indisponible. Deverrouillez Android et reessayez."},
    };
    for (const Row& row : rows)
        if (code == row.first || code == row.second) return row.message;
    // Any other code, a wrong success code included.
    return "Le telephone a refuse le transfert OBEX (code " + std::to_string(code) + ").";
}
