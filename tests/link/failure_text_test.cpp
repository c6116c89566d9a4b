// The causes the link's failure messages give, naming the device or server.

#include <gtest/gtest.h>

#include <grp.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "link/failure_text.h"
#include "support/temp_dir.h"

namespace varno::link {
namespace {

TEST(FailureText, TheCauseGoesOnTheLineBelowTheKnownMessage)
{
    EXPECT_EQ(withCause("Erreur ouverture du port série.", "x"), "Erreur ouverture du port série.\nx");
    EXPECT_EQ(withCause("Connection Closed.\n", "x"), "Connection Closed.\nx");
    EXPECT_EQ(withCause("", "x"), "\nx");
}

TEST(FailureText, SerialCausesNameTheDevice)
{
    const struct {
        int error;
        std::string cause;
    } cases[] = {
        {EBUSY, "/dev/ttyUSB0 est utilisé par un autre programme"},
        {EWOULDBLOCK, "/dev/ttyUSB0 est utilisé par un autre programme"},
        {ENOENT, "/dev/ttyUSB0 introuvable"},
        {ENOTTY, "/dev/ttyUSB0 n'est pas un port série"},
        {EISDIR, "/dev/ttyUSB0 n'est pas un port série"},
        {ENXIO, "/dev/ttyUSB0 : périphérique absent"},
        {EIO, "/dev/ttyUSB0 : erreur d'entrée-sortie"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(serialOpenCause("/dev/ttyUSB0", c.error), c.cause) << c.error;
    EXPECT_EQ(serialLostCause("/dev/ttyUSB0", EIO),
              "/dev/ttyUSB0 ne répond plus : périphérique débranché ou ligne raccrochée");
    EXPECT_EQ(serialLostCause("/dev/ttyUSB0", ENOMEM), "/dev/ttyUSB0 : mémoire insuffisante");
}

TEST(FailureText, APermissionRefusedSaysWhichGroupToJoin)
{
    testing::TempDir dir;
    const std::string device = dir.file("ttyUSB0");
    testing::writeBytes(device, "");
    const group* own = ::getgrgid(::getegid());
    ASSERT_NE(own, nullptr);
    const std::string name = own->gr_name;
    EXPECT_EQ(deviceGroup(device), name);
    EXPECT_EQ(serialOpenCause(device, EACCES),
              "permission refusée : le compte doit être membre du groupe « " + name + " », propriétaire de " + device +
                  " (sudo usermod -aG " + name + " $USER), puis se reconnecter");
    // Without a device to look at, the usual group is named.
    EXPECT_EQ(serialOpenCause("/nonexistent/ttyS9", EACCES),
              "permission refusée : le compte doit être membre du groupe propriétaire de /nonexistent/ttyS9 "
              "(en général dialout) (sudo usermod -aG dialout $USER), puis se reconnecter");
}

TEST(FailureText, TcpCausesNameHostAndPort)
{
    constexpr std::uint32_t host = 0x7F000001;
    const struct {
        TcpOpenFailure failure;
        std::string cause;
    } cases[] = {
        {{TcpOpenFailure::Connect, ECONNREFUSED}, "aucun serveur n'écoute sur 127.0.0.1:10001"},
        {{TcpOpenFailure::Connect, ETIMEDOUT}, "aucune réponse de 127.0.0.1:10001 en 3 s"},
        {{TcpOpenFailure::Connect, EHOSTUNREACH}, "127.0.0.1:10001 : hôte injoignable"},
        {{TcpOpenFailure::Resolve, EAI_NONAME}, "nom d'hôte introuvable : 127.0.0.1:10001"},
        {{TcpOpenFailure::Socket, EMFILE}, "127.0.0.1:10001 : trop de fichiers ouverts"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(tcpOpenCause(host, 10001, c.failure, 3000), c.cause) << c.failure.code;
    EXPECT_EQ(tcpOpenCause(host, 10001, {TcpOpenFailure::Connect, ETIMEDOUT}, 1500),
              "aucune réponse de 127.0.0.1:10001 en 2 s");
    EXPECT_EQ(tcpLostCause(host, 10001, 0), "le serveur 127.0.0.1:10001 a fermé la connexion");
    EXPECT_EQ(tcpLostCause(host, 10001, ECONNRESET), "le serveur 127.0.0.1:10001 a réinitialisé la connexion");
    EXPECT_EQ(tcpLostCause(host, 10001, ETIMEDOUT), "127.0.0.1:10001 : aucune réponse dans le délai");

    // A server named as the operator wrote it: a name that never became an
    // address is still the one told.
    EXPECT_EQ(tcpOpenCause("passerelle.invalid:10001", {TcpOpenFailure::Resolve, EAI_NONAME}, 3000),
              "nom d'hôte introuvable : passerelle.invalid:10001");
    EXPECT_EQ(tcpLostCause("passerelle:10001", 0), "le serveur passerelle:10001 a fermé la connexion");
}

}  // namespace
}  // namespace varno::link
