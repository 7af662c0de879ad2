#version 330 core
in float fs_power;
in vec3 fs_position;

uniform sampler1D colorTable;

out vec4 FragColor;

void main()
{
    // The beam bearing atan2(x, y): 0 straight ahead, 180 degrees either way behind.
    float theta = atan(fs_position.y, fs_position.z);
    float c = (theta + 3.1415926) / (2.0 * 3.1415926);
    c = abs(c - 0.5) * 2.0;
    FragColor = texture(colorTable, c);
}
