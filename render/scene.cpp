#include "render/scene.h"

#include <cmath>
#include <initializer_list>

#include "match/restarts.h"
#include "match/state.h"
#include "render/device.h"
#include "render/procedural.h"

// Truncation toward zero that stays defined for any float the match may hold.
static int truncate(double value) {
    if (!(std::fabs(value) < 1e9)) return 0;
    return int(value);
}

static void installWorld(float tx, float ty, float tz, float angle) {
    setTransform(TransformWorld, worldMatrix(tx, ty, tz, 0.0f, 0.0f, angle));
}

void drawGrass() {
    setVertexFormat(FormatWorld);
    installWorld(0.0f, 0.0f, 0.0f, 0.0f);
    setTexture(grassTexture);
    beginScene();
    for (int k = 0; k < 10; k++) {
        WorldVertex stripe[4];
        grassStripeQuad(k, stripe);
        drawWorldFan(stripe);
    }
    endScene();
}

void drawMarkings() {
    setFilter(FilterLinear);
    setAddressMode(AddressClamp);
    setVertexFormat(FormatWorld);
    setTexture(markingsTexture);
    installWorld(0.0f, 0.0f, 0.0f, 0.0f);
    beginScene();
    for (const auto& quarter : markingsQuads) drawWorldFan(quarter);
    endScene();
    setAddressMode(AddressWrap);
}

static void blendingOn() {
    setAlphaBlendEnable(true);
    setDestBlend(BlendInvSrcAlpha);
    setSrcBlend(BlendSrcAlpha);
    setAlphaOp(OpBlendTextureAlpha);
    setVertexFormat(FormatWorld);
}

static bool isPlayer(int i) {
    return i >= 0 && i < 12;
}

static const Texture* kitTextureFor(int i, const int32_t kits[4]) {
    const Player& p = match.players[i];
    int slot = p.isTeamA ? 0 : 2;
    if (i == GoalkeeperA) slot = 1;
    if (i == GoalkeeperB) slot = 3;
    const int kit = kits[slot];
    return kit >= 0 && kit < 10 ? kitTextures[kit] : nullptr;
}

// The cell of the player sheet: column 0 or 1, row 0 to 2.
static void sheetCell(int column, int row, WorldVertex quad[4]) {
    const float uL = float(0.375 * column), uR = float(0.375 * column + 0.375);
    const float vT = float(double(21.3f) * row / 64.0);
    const float vB = float((double(21.3f) * row + 19.0) / 64.0);
    spriteQuad(PlayerHalfSize, uL, vT, uR, vB, quad);
}

static void drawPlayer(int i, int pass, const int32_t kits[4]) {
    const Player& p = match.players[i];
    if (pass == 1) {
        setTexture(playerShadowTexture);
        setAlphaBlendEnable(true);
    } else {
        setTexture(kitTextureFor(i, kits));
    }
    int column = 0, row = truncate(p.runPhase) % 3;
    if (i == match.ballOwner && throwInHeld()) {
        column = 1;
        row = 0;
    } else if (p.fallen && !match.goalScored) {
        column = 1;
        row = 2;
    } else if (match.goalScored && match.kickOffTeamB == p.isTeamA) {
        column = truncate(double(match.goalTimer) * 5.0) % 2;
        row = 1;
    }
    WorldVertex quad[4];
    sheetCell(column, row, quad);
    installWorld(float(double(p.x) - double(0.005f) * pass),
                 float(double(p.y) - double(0.005f) * pass), 0.0f, p.heading);
    drawWorldFan(quad);
}

void drawActiveRings() {
    blendingOn();
    beginScene();
    setTexture(ringTexture);
    for (int active : {match.activePlayerA, match.activePlayerB}) {
        if (!isPlayer(active)) continue;
        const Player& p = match.players[active];
        WorldVertex ring[4];
        spriteQuad(PlayerHalfSize, 0.0f, 0.0f, 1.0f, 1.0f, ring);
        installWorld(p.x, p.y, 0.0f, p.heading);
        drawWorldFan(ring);
    }
    endScene();
    setAlphaBlendEnable(false);
}

void drawPlayers(const int32_t kits[4]) {
    blendingOn();
    setAlphaBlendEnable(false); // each shadow turns it on
    beginScene();
    for (int i = 0; i < 12; i++) {
        drawPlayer(i, 1, kits);
        drawPlayer(i, 0, kits);
    }
    endScene();
    setAlphaBlendEnable(false);
}

void drawBall() {
    const Ball& b = match.ball;
    const float s = float(double(b.height) + double(0.015f));
    if (throwInHeld()) return;
    const int f = truncate(b.roll);
    const float uL = float((f % 2) * 0.5), uR = float(double(uL) + 0.5);
    const float vT = float((f / 2) * 0.5), vB = float(double(vT) + 0.5);
    Vector3 offset{0.0f, 0.0f, 0.0f};
    const float ballAngle = match.ballAngle;
    if (isPlayer(match.ballOwner)) {
        const Vector3 ahead{0.0f, 1.0f, 0.0f};
        transformPoint(offset, ahead, worldMatrix(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, ballAngle));
    }
    const double x = double(b.x) + double(offset.x) / 20.0;
    const double y = double(b.y) + double(offset.y) / 20.0;
    WorldVertex quad[4];
    spriteQuad(s, uL, vT, uR, vB, quad);
    beginScene();
    setTexture(ballShadowTexture);
    installWorld(float(x - double(0.005f)), float(y - double(0.005f)), 0.0f, ballAngle);
    drawWorldFan(quad);
    setTexture(ballTexture);
    installWorld(float(x), float(y), 0.0f, ballAngle);
    drawWorldFan(quad);
    endScene();
}

void drawGoals() {
    setAddressMode(AddressClamp);
    blendingOn();
    beginScene();
    for (int pass = 1; pass >= 0; pass--) {
        setTexture(pass == 1 ? goalShadowTexture : goalTexture);
        const float dx = float(-double(0.005f) * pass);
        installWorld(dx, float(double(-0.965f) - double(0.005f) * pass), -0.01f, 0.0f);
        drawWorldFan(goalQuads[0]);
        drawWorldFan(goalQuads[1]);
        installWorld(dx, float(double(0.965f) - double(0.005f) * pass), -0.01f, 0.0f);
        drawWorldFan(goalQuads[2]);
        drawWorldFan(goalQuads[3]);
    }
    endScene();
    setAlphaBlendEnable(false);
    setAddressMode(AddressWrap);
}
