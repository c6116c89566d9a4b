// The one mapping from errno to the operator's text.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "sys/errno_text.h"

namespace varno::sys {
namespace {

TEST(ErrnoText, EachFailureTheOperatorMeetsHasItsPhrase)
{
    const struct {
        int error;
        const char* text;
    } cases[] = {
        {EACCES, "permission refusée"},
        {EPERM, "permission refusée"},
        {ENOENT, "fichier ou périphérique introuvable"},
        {EISDIR, "c'est un dossier"},
        {ELOOP, "c'est un lien symbolique"},
        {EROFS, "système de fichiers en lecture seule"},
        {ENOSPC, "aucun espace libre sur le disque"},
        {EDQUOT, "quota de disque dépassé"},
        {EFBIG, "taille de fichier maximale atteinte"},
        {EBUSY, "utilisé par un autre programme"},
        {EWOULDBLOCK, "utilisé par un autre programme"},
        {ENOTTY, "ce n'est pas un port série"},
        {ENXIO, "périphérique absent"},
        {EIO, "erreur d'entrée-sortie"},
        {ECONNREFUSED, "connexion refusée"},
        {ECONNRESET, "connexion réinitialisée par le serveur"},
        {ETIMEDOUT, "aucune réponse dans le délai"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(errnoText(c.error), c.text) << c.error;
}

TEST(ErrnoText, AnyOtherErrnoIsNamedByItsNumber)
{
    EXPECT_EQ(errnoText(EXDEV), "erreur système " + std::to_string(EXDEV));
    EXPECT_EQ(errnoText(0), "erreur système 0");
    EXPECT_EQ(errnoText(-1), "erreur système -1");
}

}  // namespace
}  // namespace varno::sys
