#include "sys/errno_text.h"

#include <cerrno>

namespace varno::sys {

std::string errnoText(int error)
{
    switch (error) {
    case EACCES:
    case EPERM: return "permission refusée";
    case ENOENT: return "fichier ou périphérique introuvable";
    case ENOTDIR: return "un élément du chemin n'est pas un dossier";
    case EISDIR: return "c'est un dossier";
    case ELOOP: return "c'est un lien symbolique";
    case EEXIST: return "le fichier existe déjà";
    case EROFS: return "système de fichiers en lecture seule";
    case ENOSPC: return "aucun espace libre sur le disque";
    case EDQUOT: return "quota de disque dépassé";
    case EFBIG: return "taille de fichier maximale atteinte";
    case EBUSY:
    case EWOULDBLOCK: return "utilisé par un autre programme";
    case ENOTTY: return "ce n'est pas un port série";
    case ENXIO:
    case ENODEV: return "périphérique absent";
    case EIO: return "erreur d'entrée-sortie";
    case EMFILE:
    case ENFILE: return "trop de fichiers ouverts";
    case ENOMEM: return "mémoire insuffisante";
    case ECONNREFUSED: return "connexion refusée";
    case ECONNRESET: return "connexion réinitialisée par le serveur";
    case ETIMEDOUT: return "aucune réponse dans le délai";
    case EHOSTUNREACH: return "hôte injoignable";
    case ENETUNREACH: return "réseau injoignable";
    case EADDRNOTAVAIL: return "adresse non disponible";
    case EPIPE: return "liaison rompue";
    default: return "erreur système " + std::to_string(error);
    }
}

}  // namespace varno::sys
