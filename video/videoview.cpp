#include "videoview.h"

#include <QMutexLocker>
#include <QOpenGLShader>
#include <QOpenGLShaderProgram>
#include <QOpenGLTexture>

#include "video/video.h"

namespace {

// A quad over the whole widget; texture row 0 (the picture's top line) at the top.
const GLfloat VertexData[16] = {
    -1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f, 1.0f, -1.0f,
    0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f,
};

const char *const VertexShader =
    "attribute vec4 vertexIn;     attribute vec2 textureIn;     varying vec2 textureOut;      "
    "void main(void)               {                                 gl_Position = vertexIn;         "
    "textureOut = textureIn;     }";

// BT.601: R = Y + 1.13983 V, G = Y - 0.39465 U - 0.58060 V, B = Y + 2.03211 U.
const char *const FragmentShader =
    "varying vec2 textureOut;     uniform sampler2D tex_y;     uniform sampler2D tex_u;     "
    "uniform sampler2D tex_v;     void main(void)     {         vec3 yuv;         vec3 rgb;         "
    "yuv.x = texture2D(tex_y, textureOut).r;         yuv.y = texture2D(tex_u, textureOut).r - 0.5;         "
    "yuv.z = texture2D(tex_v, textureOut).r - 0.5;         rgb = mat3( 1,       1,         1,                     "
    "0,       -0.39465,  2.03211,                     1.13983, -0.58060,  0) * yuv;         "
    "gl_FragColor = vec4(rgb, 1);     }";

} // namespace

VideoView::VideoView(QWidget *parent)
    : QOpenGLWidget(parent)
    , video(Video::instance())
    , vbo(QOpenGLBuffer::VertexBuffer)
{
    connect(video, SIGNAL(updateFrameMsg(uint8_t *,int,int)), this, SLOT(loadFrame(uint8_t *,int,int)));
}

VideoView::~VideoView()
{
    video->close();
    if (textureY && context()) {
        makeCurrent();
        delete textureY;
        delete textureU;
        delete textureV;
        vbo.destroy();
        doneCurrent();
    }
}

void VideoView::play(QString url)
{
    video->open(url);
}

void VideoView::loadFrame(uint8_t *pSrc, int frameWidth, int frameHeight)
{
    width = frameWidth;
    height = frameHeight;
    data = pSrc;
    update();
}

void VideoView::initializeGL()
{
    initializeOpenGLFunctions();
    glEnable(GL_DEPTH_TEST);

    vbo.create();
    vbo.bind();
    vbo.allocate(VertexData, sizeof VertexData);

    auto *vertexShader = new QOpenGLShader(QOpenGLShader::Vertex, this);
    vertexShader->compileSourceCode(VertexShader);
    auto *fragmentShader = new QOpenGLShader(QOpenGLShader::Fragment, this);
    fragmentShader->compileSourceCode(FragmentShader);

    program = new QOpenGLShaderProgram(this);
    program->addShader(vertexShader);
    program->addShader(fragmentShader);
    program->bindAttributeLocation("vertexIn", 0);
    program->bindAttributeLocation("textureIn", 1);
    program->link();
    program->bind();

    program->enableAttributeArray(0);
    program->enableAttributeArray(1);
    program->setAttributeBuffer(0, GL_FLOAT, 0, 2, 2 * sizeof(GLfloat));
    program->setAttributeBuffer(1, GL_FLOAT, 8 * sizeof(GLfloat), 2, 2 * sizeof(GLfloat));

    textureUniformY = program->uniformLocation("tex_y");
    textureUniformU = program->uniformLocation("tex_u");
    textureUniformV = program->uniformLocation("tex_v");

    textureY = new QOpenGLTexture(QOpenGLTexture::Target2D);
    textureU = new QOpenGLTexture(QOpenGLTexture::Target2D);
    textureV = new QOpenGLTexture(QOpenGLTexture::Target2D);
    textureY->create();
    textureU->create();
    textureV->create();
    idY = textureY->textureId();
    idU = textureU->textureId();
    idV = textureV->textureId();

    glClearColor(0.99f, 0.99f, 0.99f, 0.0f);
}

void VideoView::uploadPlane(int unit, GLuint texture, int planeWidth, int planeHeight, const uint8_t *pixels)
{
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, planeWidth, planeHeight, 0, GL_RED, GL_UNSIGNED_BYTE, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

void VideoView::paintGL()
{
    if (!data) {
        glClearColor(0.99f, 0.99f, 0.99f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    // QOpenGLWidget has set the viewport to the framebuffer, in device pixels:
    // the widget's own size would fill a quarter of it on a screen scaled by 2.
    // Depth testing is on and the widget keeps its depth buffer between
    // repaints: without this clear every quad after the first lies at the
    // depth already stored and is rejected, and the picture never changes.
    glClear(GL_DEPTH_BUFFER_BIT);
    // Rows are tight: a chroma plane of width 3 or 5 has no padding to 4 bytes.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    // The decoder writes the next picture into this buffer only under the frame
    // lock; holding it for the upload keeps a half-written picture off screen.
    QMutexLocker lock(video->frameLock());
    int w = width;
    int h = height;
    if (data == video->frameData()) {
        // The buffer may already hold a newer picture than the last signal said.
        const QSize now = video->frameSize();
        w = now.width();
        h = now.height();
    }
    uploadPlane(0, idY, w, h, data);
    uploadPlane(1, idU, w / 2, h / 2, data + w * h);
    // Where the decoder puts V: after U's (h/2) rows of w/2, also for odd sizes.
    uploadPlane(2, idV, w / 2, h / 2, data + w * h + (h / 2) * (w / 2));
    lock.unlock();

    glUniform1i(textureUniformY, 0);
    glUniform1i(textureUniformU, 1);
    glUniform1i(textureUniformV, 2);
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}
