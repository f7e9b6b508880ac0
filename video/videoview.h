#pragma once

#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QString>

#include <cstdint>

class QOpenGLShaderProgram;
class QOpenGLTexture;
class Video;

// The preview surface: draws the decoder's planar YUV 4:2:0 buffer as three
// single-channel textures converted to RGB by a shader. Destroying it stops
// the stream.
class VideoView final : public QOpenGLWidget, protected QOpenGLFunctions
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoView)

public:
    explicit VideoView(QWidget *parent = nullptr);
    ~VideoView() override;

    void play(QString url);

public slots:
    void loadFrame(uint8_t *pSrc, int width, int height);

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void uploadPlane(int unit, GLuint texture, int width, int height, const uint8_t *pixels);

    Video *video = nullptr;
    QOpenGLShaderProgram *program = nullptr;
    QOpenGLBuffer vbo;
    int textureUniformY = -1;
    int textureUniformU = -1;
    int textureUniformV = -1;
    QOpenGLTexture *textureY = nullptr;
    QOpenGLTexture *textureU = nullptr;
    QOpenGLTexture *textureV = nullptr;
    GLuint idY = 0;
    GLuint idU = 0;
    GLuint idV = 0;
    int width = 0;
    int height = 0;
    uint8_t *data = nullptr;   // borrowed from the decoder
};
