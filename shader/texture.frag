#version 330 core
in vec3 vTexCoord;

uniform sampler3D volumeTexture;
uniform sampler1D colorTable;

out vec4 FragColor;

void main()
{
    float intensity = clamp(texture(volumeTexture, vTexCoord).r, 0.0, 1.0);
    FragColor = vec4(texture(colorTable, intensity).rgb, 1.0);
}
