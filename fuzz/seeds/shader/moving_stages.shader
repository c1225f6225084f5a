textures/f/water
{
	deformVertexes wave 64 sin 0 3 0 0.5
	{
		map textures/f/water.tga
		tcMod turb 0 0.05 0 0.2
		tcMod scroll 0.05 0.02
		tcMod rotate 10
		tcMod stretch sin 1 0.1 0 0.5
		tcMod transform 1 0 0 1 0.5 0.5
	}
	{
		animMap 4 textures/f/a.tga textures/f/b.tga textures/f/c.tga
		blendFunc GL_ONE GL_ONE_MINUS_SRC_ALPHA
		rgbGen wave triangle 0.2 0.8 0.1 2
		alphaGen const 0.5
		depthWrite
	}
	{
		map $whiteimage
		rgbGen const ( 1 0.5 0 )
		blendFunc filter
	}
}
textures/f/clouds { surfaceparm sky skyParms env/x 256 - { map textures/f/c.tga tcMod scroll 0.1 0 } }
textures/f/fog { surfaceparm fog fogparms ( 0.5 0.5 1 ) 300 }
textures/f/odd { deformVertexes bulge 1 2 3 { map x.tga tcGen environment rgbGen lightingDiffuse } }
