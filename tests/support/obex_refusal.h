#pragma once

// The refusals of a phone as the OBEX client documents them for its users: the
// response codes with their meaning in OBEX and the message a push ends with. Any
// other code, a success code where the other one was due included, ends it with
// the code in decimal.

#include <string>

struct ObexRefusal {
    unsigned char code;
    const char* meaning;
    const char* message;
};

inline constexpr ObexRefusal obexRefusals[] = {
    {0xC1, "Unauthorized", "Reception refusee par le telephone. Acceptez la notification sur Android."},
    {0xC3, "Forbidden", "Reception refusee par le telephone. Acceptez la notification sur Android."},
    {0xCD, "Request Entity Too Large", "Fichier trop volumineux pour le recepteur Bluetooth Android."},
    {0xCF, "Unsupported Media Type", "Ce type de fichier est refuse par le recepteur Bluetooth Android."},
    {0xD3, "Service Unavailable", "Recepteur Bluetooth du telephone indisponible. Deverrouillez Android et reessayez."},
};

inline std::string obexRefusal(unsigned char code) {
    for (const ObexRefusal& refusal : obexRefusals)
        if (refusal.code == code) return refusal.message;
    return "Le telephone a refuse le transfert OBEX (code " + std::to_string(code) + ").";
}
